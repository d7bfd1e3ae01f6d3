#pragma once
// The "恢复选项" page of the restore screens: where the restored files go
// and what happens when one is already there.

#include <QWidget>
#include <optional>

#include "client/TaskMakers.h"

class QRadioButton;
class QLineEdit;
class QPushButton;

namespace solvane {

class TPublicInfo;

class TRestoreOptionsPage : public QWidget {
  Q_OBJECT
 public:
  explicit TRestoreOptionsPage(QWidget* parent = nullptr);

  // Another user's store: its files never go to their original places here.
  void SetOriginalPlaceOffered(bool offered);
  // Back to the first choices: original place, skip.
  void Reset();

  // The checked choice; nullopt (after telling the user) when the folder is
  // no absolute folder of this platform, or does not exist and may not or
  // cannot be made. The choice is also left in the shared name=value list.
  std::optional<TRestoreTarget> Check(TPublicInfo& info);

  QRadioButton* Original() const { return m_original; }
  QRadioButton* Respecify() const { return m_respecify; }
  QRadioButton* Flat() const { return m_flat; }
  QLineEdit* Folder() const { return m_folder; }
  QRadioButton* Skip() const { return m_skip; }
  QRadioButton* Overwrite() const { return m_overwrite; }

 private:
  void PickFolder();
  void Refused(const QString& message);
  void UpdateFolderEnabled();

  QRadioButton* m_original = nullptr;
  QRadioButton* m_respecify = nullptr;
  QRadioButton* m_flat = nullptr;
  QLineEdit* m_folder = nullptr;
  QPushButton* m_browse = nullptr;
  QRadioButton* m_skip = nullptr;
  QRadioButton* m_overwrite = nullptr;
};

}  // namespace solvane
