#include "ui/backup/TForm_BR_FileSync.h"

#include <QLabel>
#include <QVBoxLayout>

#include "ui/backup/ShellViews.h"
#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

const TFileTaskScreen::TTexts kTexts{
    "文 件 夹 同 步",    "不明白文件夹同步?请点击这里", 200, "同步目标",
    "还未选择目标!",     "保存任务过滤信息失败!",       "保存任务高级过滤信息失败!"};

}  // namespace

TForm_BR_FileSync::TForm_BR_FileSync(TUiShell& shell, QWidget* parent)
    : TFileTaskScreen(shell, kKindFileSync, kTexts, TFilterPage::TStyle::FolderSyncScreen, parent) {
  setObjectName("TForm_BR_FileSync");
  m_tree = new TShellTree(false);
  auto* page = new QWidget;
  auto* layout = new QVBoxLayout(page);
  auto* caption = new QLabel(U("文件夹"));
  caption->setBuddy(m_tree);
  layout->addWidget(caption);
  layout->addWidget(m_tree, 1);
  SetTargetPage(page);
}

bool TForm_BR_FileSync::CollectObjects(std::vector<TTaskFileObject>& objects) {
  const QString folder = m_tree->SelectedPath();
  if (folder.isEmpty()) {
    ShowNote(U("还未选择目标!"), 2);
    return false;
  }
  objects.push_back({folder.toStdString(), 1, -1, -1, -1});
  return true;
}

void TForm_BR_FileSync::RunStarted(std::int32_t taskId) {
  ShowNote(U("任务") + TaskIdText(taskId) + U("已启动,请到执行区查看详情..."), 0);
}

}  // namespace solvane
