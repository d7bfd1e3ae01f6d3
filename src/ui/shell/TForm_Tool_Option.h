#pragma once
// "系统选项": the user's server space with its pie, the local options
// (autorun, remembered sign-in, cache folder, free-space warning, pacing of
// the engine) and their saving.

#include <cstdint>

#include "ui/shell/QorWithUIDynamicForm.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;

namespace solvane {

class TSimplePie;

class TForm_Tool_Option : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  static constexpr int kMaxWarningSpace = 100000;  // megabytes

  explicit TForm_Tool_Option(TUiShell& shell, QWidget* parent = nullptr);
  // Fills the controls from the settings and asks the server for the space.
  void Opening() override;
  // Shows the signed-in user's server space; zeros and an error note when
  // no connected connection is free.
  void RefreshSpace();

  // The controls, for the main window's tests and screenshots.
  TSimplePie* Pie() const { return m_pie; }
  QLineEdit* AllocatedField() const { return m_allocated; }
  QLineEdit* AvailableField() const { return m_available; }
  QLabel* RateLabel() const { return m_rate; }
  QCheckBox* AutoRunBox() const { return m_autoRun; }
  QCheckBox* SaveUserBox() const { return m_saveUser; }
  QLineEdit* FolderField() const { return m_folder; }
  QPushButton* BrowseButton() const { return m_browse; }
  QSpinBox* WarningField() const { return m_warning; }
  QComboBox* PacingBox() const { return m_pacing; }
  QPushButton* OkButton() const { return m_ok; }

 private:
  QWidget* NewSpaceGroup();
  QWidget* NewGeneralGroup();
  QWidget* NewMiscGroup();
  void ShowSpace(std::int64_t total, std::int64_t used);
  void Browse();
  void Confirm();
  // Creates the field's folder when it is missing; false (after telling the
  // user) when the options must not be saved.
  bool MakeCacheFolder();

  TSimplePie* m_pie = nullptr;
  QLineEdit* m_allocated = nullptr;
  QLineEdit* m_available = nullptr;
  QLabel* m_rate = nullptr;
  QCheckBox* m_autoRun = nullptr;
  QCheckBox* m_saveUser = nullptr;
  QLineEdit* m_folder = nullptr;
  QPushButton* m_browse = nullptr;
  QSpinBox* m_warning = nullptr;
  QComboBox* m_pacing = nullptr;
  QPushButton* m_ok = nullptr;
};

}  // namespace solvane
