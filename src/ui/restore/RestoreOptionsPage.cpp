#include "ui/restore/RestoreOptionsPage.h"

#include <QButtonGroup>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <filesystem>

#include "client/Unit_PublicInfo.h"
#include "session/Unit_LocalHelpers.h"
#include "ui/shell/QorWithUIDialogs.h"
#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane {

TRestoreOptionsPage::TRestoreOptionsPage(QWidget* parent) : QWidget(parent) {
  setObjectName("RestoreOptions");
  auto* layout = new QVBoxLayout(this);
  auto* where = new QGroupBox(QString::fromUtf8("选择路径"), this);
  auto* whereLayout = new QVBoxLayout(where);
  m_original = new QRadioButton(QString::fromUtf8("原始路径"), where);
  m_respecify = new QRadioButton(QString::fromUtf8("重新指定"), where);
  m_flat = new QRadioButton(QString::fromUtf8("重新指定但不带全路径"), where);
  m_original->setObjectName("Original");
  m_respecify->setObjectName("Respecify");
  m_flat->setObjectName("Flat");
  auto* whereGroup = new QButtonGroup(this);
  for (auto* b : {m_original, m_respecify, m_flat}) {
    whereGroup->addButton(b);
    whereLayout->addWidget(b);
    connect(b, &QRadioButton::toggled, this, [this] { UpdateFolderEnabled(); });
  }
  auto* folderRow = new QHBoxLayout;
  m_folder = new QLineEdit(where);
  m_folder->setObjectName("Folder");
  m_browse = new QPushButton(QString::fromUtf8("浏览..."), where);
  m_browse->setObjectName("Browse");
  connect(m_browse, &QPushButton::clicked, this, [this] { PickFolder(); });
  folderRow->addWidget(m_folder, 1);
  folderRow->addWidget(m_browse);
  whereLayout->addLayout(folderRow);

  auto* conflict = new QGroupBox(QString::fromUtf8("有文件冲突时："), this);
  auto* conflictLayout = new QVBoxLayout(conflict);
  m_skip = new QRadioButton(QString::fromUtf8("跳过此文件"), conflict);
  m_overwrite = new QRadioButton(QString::fromUtf8("覆盖原来文件"), conflict);
  m_skip->setObjectName("Skip");
  m_overwrite->setObjectName("Overwrite");
  m_overwrite->setToolTip(QString::fromUtf8("原来的文件保留为同名的 .tmp 文件"));
  auto* conflictGroup = new QButtonGroup(this);
  for (auto* b : {m_skip, m_overwrite}) {
    conflictGroup->addButton(b);
    conflictLayout->addWidget(b);
  }
  layout->addWidget(where);
  layout->addWidget(conflict);
  layout->addStretch();
  Reset();
}

void TRestoreOptionsPage::SetOriginalPlaceOffered(bool offered) {
  m_original->setEnabled(offered);
  m_original->setVisible(offered);
  if (!offered && m_original->isChecked()) m_respecify->setChecked(true);
  if (offered) m_original->setChecked(true);
  UpdateFolderEnabled();
}

void TRestoreOptionsPage::Reset() {
  if (m_original->isEnabled())
    m_original->setChecked(true);
  else
    m_respecify->setChecked(true);
  m_skip->setChecked(true);
  UpdateFolderEnabled();
}

void TRestoreOptionsPage::UpdateFolderEnabled() {
  const bool own = !m_original->isChecked();
  m_folder->setEnabled(own);
  m_browse->setEnabled(own);
}

void TRestoreOptionsPage::PickFolder() {
  const QString start = QDir(m_folder->text()).exists() ? m_folder->text() : QString();
  const QString chosen =
      QFileDialog::getExistingDirectory(this, QString::fromUtf8("选择文件夹"), start);
  if (!chosen.isEmpty()) m_folder->setText(QDir::toNativeSeparators(chosen));
}

void TRestoreOptionsPage::Refused(const QString& message) {
  m_folder->clear();
  m_folder->setFocus();
  if (!message.isEmpty()) ShowNote(message, 2);
}

std::optional<TRestoreTarget> TRestoreOptionsPage::Check(TPublicInfo& info) {
  TRestoreTarget target;
  target.Overwrite = m_overwrite->isChecked();
  if (m_original->isChecked()) {
    info.SetSharedParam("RestoreParams.IsDefine", "0");
  } else {
    // A folder of this platform, given whole: a relative path would land
    // wherever the program happens to run.
    std::string folder = m_folder->text().trimmed().toStdString();
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    if (folder.empty() || !std::filesystem::path(folder).is_absolute()) {
      Refused(QString::fromUtf8("目标路径不合法，请正确设置您的路径!"));
      return std::nullopt;
    }
    if (!FolderExists(folder)) {
      if (!Confirm(QString::fromUtf8("不存在此文件夹!是否创建此文件夹?") + "\r\n\r\n" +
                   QString::fromStdString(folder))) {
        Refused({});
        return std::nullopt;
      }
      if (!CreateFolderPath(folder) || !FolderExists(folder)) {
        Refused(QString::fromUtf8("创建路径不合法，请正确设置您的路径!"));
        return std::nullopt;
      }
    }
    target.Folder = folder;
    target.Flat = m_flat->isChecked();
    info.SetSharedParam("RestoreParams.IsDefine", target.Flat ? "2" : "1");
    info.SetSharedParam("RestoreParams.CacheFolder", folder);
  }
  info.SetSharedParam("RestoreParams.Overwrite", target.Overwrite ? "1" : "0");
  return target;
}

}  // namespace solvane
