#include "ui/backup/TForm_BR_FileBackup.h"

#include <QLabel>
#include <QSplitter>
#include <QVBoxLayout>

#include "ui/backup/ShellSelection.h"
#include "ui/backup/ShellViews.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const TFileTaskScreen::TTexts kTexts{
    "文 件 备 份",       "不明白文件备份?请点击这里", 100, "备份目标",
    "文件目标为空",      "发送任务过滤信息失败!",     "发送任务高级过滤信息失败!"};

}  // namespace

TForm_BR_FileBackup::TForm_BR_FileBackup(TUiShell& shell, QWidget* parent)
    : TFileTaskScreen(shell, kKindFileBackup, kTexts, TFilterPage::TStyle::FileBackupScreen,
                      parent) {
  setObjectName("TForm_BR_FileBackup");
  m_tree = new TShellTree(true);
  m_list = new TShellList;
  m_selection = new TShellSelection(*m_tree, *m_list, this);

  auto* left = new QWidget;
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  auto* caption = new QLabel(U("文件夹"));
  caption->setBuddy(m_tree);
  leftLayout->addWidget(caption);
  leftLayout->addWidget(m_tree, 1);

  m_splitter = new QSplitter(Qt::Horizontal);
  m_splitter->addWidget(left);
  m_splitter->addWidget(m_list);
  m_splitter->setStretchFactor(0, 27);
  m_splitter->setStretchFactor(1, 73);
  m_splitter->setSizes({270, 730});
  SetTargetPage(m_splitter);

  // The list follows the folder selected in the tree.
  connect(m_tree, &QTreeWidget::currentItemChanged, this,
          [this](QTreeWidgetItem* node) { m_list->ShowFolder(TShellTree::PathOf(node)); });
}

bool TForm_BR_FileBackup::CollectObjects(std::vector<TTaskFileObject>& objects) {
  for (const TShellObject& e : m_selection->Normalised())
    objects.push_back({e.Path.toStdString(), std::uint8_t(e.IsFolder ? 1 : 0), -1, -1, -1});
  if (objects.empty()) ShowNote(U("文件目标为空"), 2);
  return !objects.empty();
}

void TForm_BR_FileBackup::RunStarted(std::int32_t taskId) {
  Shell().Screens().EmbedByName("TaskWatch", Shell().ContentPanel(), false);
  ShowNote(U("任务") + TaskIdText(taskId) + U("已启动."), 0);
}

void TForm_BR_FileBackup::ChoiceUsed() { m_selection->Clear(); }

}  // namespace solvane
