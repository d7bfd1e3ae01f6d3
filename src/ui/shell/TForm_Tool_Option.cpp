#include "ui/shell/TForm_Tool_Option.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

#include "platform/FileFacts.h"
#include "platform/INoteSink.h"
#include "session/Unit_LocalHelpers.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/TSimplePie.h"
#include "ui/shell/ToolScreenParts.h"
#include "ui/shell/ToolServerCalls.h"
#include "ui/shell/UiShell.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

QLineEdit* NewNumberField(const QString& name, QWidget* parent) {
  auto* field = new QLineEdit(QStringLiteral("0"), parent);
  field->setObjectName(name);
  field->setReadOnly(true);
  field->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  field->setFixedWidth(110);
  return field;
}

QString GroupedNumber(std::int64_t n) { return QString::fromStdString(GroupThousands(n)); }

}  // namespace

TForm_Tool_Option::TForm_Tool_Option(TUiShell& shell, QWidget* parent)
    : TQorEmbeddedScreen(shell, parent) {
  setObjectName("TForm_Tool_Option");
  setWindowTitle(U("系统选项"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(24, 20, 24, 20);
  layout->setSpacing(12);
  layout->addWidget(NewScreenHeading(U("选项"), this));
  layout->addWidget(NewSpaceGroup());
  layout->addWidget(NewGeneralGroup());
  layout->addWidget(NewMiscGroup());
  m_ok = new QPushButton(U("确 定"), this);
  m_ok->setObjectName("OkButton");
  m_ok->setMinimumWidth(96);
  connect(m_ok, &QPushButton::clicked, this, &TForm_Tool_Option::Confirm);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_ok);
  layout->addLayout(buttons);
  layout->addStretch();
  for (auto* group : findChildren<QGroupBox*>()) group->setMaximumWidth(640);
  setMaximumWidth(700);
}

QWidget* TForm_Tool_Option::NewSpaceGroup() {
  auto* group = new QGroupBox(U("磁盘空间信息"), this);
  group->setObjectName("SpaceGroup");
  m_pie = new TSimplePie(group);
  m_pie->setObjectName("Pie");
  m_pie->setFixedSize(150, 100);
  m_pie->SetPosition(100);
  m_allocated = NewNumberField("AllocatedSpace", group);
  m_available = NewNumberField("AvailableSpace", group);
  m_rate = new QLabel(QStringLiteral("100%"), group);
  m_rate->setObjectName("AvailableRate");

  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(8);
  grid->addWidget(new QLabel(U(" 分配空间："), group), 0, 0, Qt::AlignRight);
  grid->addWidget(m_allocated, 0, 1);
  grid->addWidget(new QLabel(QStringLiteral("M"), group), 0, 2);
  grid->addWidget(new QLabel(U("可用空间："), group), 1, 0, Qt::AlignRight);
  grid->addWidget(m_available, 1, 1);
  grid->addWidget(new QLabel(QStringLiteral("M"), group), 1, 2);
  grid->addWidget(new QLabel(U("可用率："), group), 2, 0, Qt::AlignRight);
  grid->addWidget(m_rate, 2, 1);

  auto* row = new QHBoxLayout(group);
  row->setContentsMargins(16, 12, 16, 12);
  row->setSpacing(32);
  row->addWidget(m_pie);
  row->addLayout(grid);
  row->addStretch();
  return group;
}

QWidget* TForm_Tool_Option::NewGeneralGroup() {
  auto* group = new QGroupBox(U("常规设定"), this);
  group->setObjectName("GeneralGroup");
  m_autoRun = new QCheckBox(U("开机时自动运行"), group);
  m_autoRun->setObjectName("AutoRunBox");
  m_saveUser = new QCheckBox(U("自动记录用户名及密码"), group);
  m_saveUser->setObjectName("SaveUserBox");
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(16, 12, 16, 12);
  column->addWidget(m_autoRun);
  column->addWidget(m_saveUser);
  return group;
}

QWidget* TForm_Tool_Option::NewMiscGroup() {
  auto* group = new QGroupBox(U("杂项"), this);
  group->setObjectName("MiscGroup");
  m_folder = new QLineEdit(group);
  m_folder->setObjectName("FolderField");
  m_browse = new QPushButton(QStringLiteral("..."), group);
  m_browse->setObjectName("BrowseButton");
  m_browse->setFixedWidth(36);
  m_browse->setToolTip(U("选择文件夹"));
  connect(m_browse, &QPushButton::clicked, this, &TForm_Tool_Option::Browse);

  m_warning = new QSpinBox(group);
  m_warning->setObjectName("WarningField");
  m_warning->setRange(0, kMaxWarningSpace);
  // A locale whose numbers group thousands with ",".
  m_warning->setLocale(QLocale(QLocale::Chinese, QLocale::China));
  m_warning->setGroupSeparatorShown(true);
  m_warning->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  m_warning->setFixedWidth(110);

  m_pacing = new QComboBox(group);
  m_pacing->setObjectName("PacingBox");
  m_pacing->addItem(U("标准"), QString::fromStdString(PacingToText(TPacing::Standard)));
  m_pacing->addItem(U("快速"), QString::fromStdString(PacingToText(TPacing::Fast)));
  auto* pacingHint = new QLabel(U("（快速：任务处理中不做停顿，占用更多处理器与网络资源）"), group);
  pacingHint->setObjectName("PacingHint");
  pacingHint->setStyleSheet("QLabel { color: #606060; }");

  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(16, 12, 16, 12);
  grid->setHorizontalSpacing(8);
  grid->addWidget(new QLabel(U("临时文件夹"), group), 0, 0);
  auto* folderRow = new QHBoxLayout;
  folderRow->addWidget(m_folder, 1);
  folderRow->addWidget(m_browse);
  grid->addLayout(folderRow, 0, 1);

  auto* warningRow = new QHBoxLayout;
  warningRow->setSpacing(6);
  warningRow->addWidget(new QLabel(U("当系统磁盘空闲空间低于"), group));
  warningRow->addWidget(m_warning);
  warningRow->addWidget(new QLabel(U("M 时系统报警提示"), group));
  warningRow->addStretch();
  grid->addLayout(warningRow, 1, 0, 1, 2);

  auto* pacingRow = new QHBoxLayout;
  pacingRow->addWidget(m_pacing);
  pacingRow->addWidget(pacingHint);
  pacingRow->addStretch();
  grid->addWidget(new QLabel(U("任务节奏"), group), 2, 0);
  grid->addLayout(pacingRow, 2, 1);
  grid->setColumnStretch(1, 1);
  return group;
}

void TForm_Tool_Option::Opening() {
  const TSettings s = Shell().Info().Settings();
  m_autoRun->setChecked(s.IsAutoRun);
  m_saveUser->setChecked(s.IsSavedUserInfo);
  m_folder->setText(QString::fromStdString(s.CacheFolder));
  m_warning->setValue(
      static_cast<int>(std::clamp<std::int64_t>(s.WarningSpace, 0, kMaxWarningSpace)));
  m_pacing->setCurrentIndex(s.Pacing == TPacing::Fast ? 1 : 0);
  RefreshSpace();
}

void TForm_Tool_Option::ShowSpace(std::int64_t total, std::int64_t used) {
  m_allocated->setText(GroupedNumber(total));
  m_available->setText(GroupedNumber(total - used));
  const int percent = AvailablePercent(total, used);
  m_pie->SetPosition(percent);
  m_rate->setText(QString::number(percent) + QStringLiteral("%"));
}

void TForm_Tool_Option::RefreshSpace() {
  ShowSpace(0, 0);
  TPublicInfo& info = Shell().Info();
  TQorTCPClientLease connection = FreeConnectedConnection(info);
  if (!connection) {
    ShowNote(NotConnectedText(), kNoteError);
    return;
  }
  const TUserSpace space = SelectUserSpace(info, *connection);
  if (space.Ok) ShowSpace(space.Total, space.Used);
}

void TForm_Tool_Option::Browse() {
  const QString chosen = QFileDialog::getExistingDirectory(this, U("选择文件夹"), m_folder->text());
  if (!chosen.isEmpty()) m_folder->setText(QDir::toNativeSeparators(chosen));
}

bool TForm_Tool_Option::MakeCacheFolder() {
  const QString folder = m_folder->text();
  const std::string path = folder.toStdString();
  if (FolderExists(path)) return true;
  // A folder named relative to wherever the program happens to run (or not
  // at all) cannot serve as the cache: offer the default one instead.
  if (folder.trimmed().isEmpty() || QDir::isRelativePath(folder)) {
    ShowNote(U("无法指定文件夹：") + folder, kNoteError);
    const std::string fallback = FolderOfFile(Shell().Info().ProgramFile()) + "temp";
    m_folder->setText(QString::fromStdString(fallback));
    return false;
  }
  if (!CreateFolderPath(path)) {
    m_folder->setFocus();
    ShowNote(U("创建文件路径失败"), kNoteError);
    return false;
  }
  return true;
}

void TForm_Tool_Option::Confirm() {
  if (!MakeCacheFolder()) return;
  TPublicInfo& info = Shell().Info();
  TSettings s = info.Settings();
  s.IsAutoRun = m_autoRun->isChecked();
  s.IsSavedUserInfo = m_saveUser->isChecked();
  s.CacheFolder = m_folder->text().toStdString();
  s.WarningSpace = m_warning->value();
  s.Pacing = TextToPacing(m_pacing->currentData().toString().toStdString());
  info.SetSettings(s);
  if (!info.SaveOptions()) {
    ShowNote(U("选项信息保存失败!"), kNoteError);
    return;
  }
  ShowNote(U("选项信息修改成功!"), kNoteInformation);
}

}  // namespace solvane
