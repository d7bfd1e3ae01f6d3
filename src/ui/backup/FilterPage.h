#pragma once
// The "过滤器" page of the file backup and folder sync screens and of their
// property dialogs: include and exclude lines, a creation or modification
// date range, a size range in MB and the attribute exclusion.
//
// The screens start with "修改时间" chosen; the property dialogs start with
// neither time kind chosen and enable the two only while "时间条件" is on
// (unchecking it unchecks both). Only the date pair of the chosen kind is
// enabled. Blank lines of the two boxes are not patterns and are dropped.

#include <QStringList>
#include <QWidget>

#include "tasks/Unit_Handler_Define.h"

class QButtonGroup;
class QCheckBox;
class QDateEdit;
class QGroupBox;
class QLabel;
class QPlainTextEdit;
class QRadioButton;
class QSpinBox;

namespace solvane {

// The exclude lines a new selection starts with.
QStringList DefaultExcludeLines();

class TFilterPage : public QWidget {
  Q_OBJECT
 public:
  enum class TStyle {
    FileBackupScreen,  // switching "文件属性排除" off also clears "隐藏" and "只读"
    FolderSyncScreen,
    PropertyDialog,    // time kinds start unchosen, follow "时间条件"
  };

  explicit TFilterPage(TStyle style, QWidget* parent = nullptr);

  void Load(const TTaskFilterInfo& f);
  void Save(TTaskFilterInfo& f) const;
  // The page of a new selection: no include lines, the default exclude
  // lines, every condition off, the dates yesterday and today.
  void LoadDefaults();
  // The four date pickers: "从" yesterday, "到" today.
  void ResetDates();

  QPlainTextEdit* IncludeBox() const { return m_include; }
  QPlainTextEdit* ExcludeBox() const { return m_exclude; }
  QCheckBox* TimeSwitch() const { return m_timeSwitch; }
  QRadioButton* CreateTimeButton() const { return m_createTime; }
  QRadioButton* ModifyTimeButton() const { return m_modifyTime; }
  QDateEdit* CreateFrom() const { return m_createFrom; }
  QDateEdit* CreateTo() const { return m_createTo; }
  QDateEdit* ModifyFrom() const { return m_modifyFrom; }
  QDateEdit* ModifyTo() const { return m_modifyTo; }
  QCheckBox* SizeSwitch() const { return m_sizeSwitch; }
  QSpinBox* MinSize() const { return m_minSize; }
  QSpinBox* MaxSize() const { return m_maxSize; }
  QCheckBox* AttributeSwitch() const { return m_attrSwitch; }
  QCheckBox* HiddenBox() const { return m_hidden; }
  QCheckBox* ReadOnlyBox() const { return m_readOnly; }

 private:
  QGroupBox* BuildLines(const char* title, QPlainTextEdit*& box, const char* name);
  QWidget* BuildTime();
  QWidget* BuildSize();
  QWidget* BuildAttributes();
  void TimeSwitched(bool on);
  void UpdateEnabled();
  // Checks one time kind (nullptr: neither).
  void ChooseTimeKind(QRadioButton* kind);

  TStyle m_style;
  QPlainTextEdit* m_include = nullptr;
  QPlainTextEdit* m_exclude = nullptr;
  QCheckBox* m_timeSwitch = nullptr;
  QGroupBox* m_timeBox = nullptr;
  QButtonGroup* m_timeKinds = nullptr;
  QRadioButton* m_createTime = nullptr;
  QRadioButton* m_modifyTime = nullptr;
  QDateEdit* m_createFrom = nullptr;
  QDateEdit* m_createTo = nullptr;
  QDateEdit* m_modifyFrom = nullptr;
  QDateEdit* m_modifyTo = nullptr;
  QLabel* m_dateLabels[4] = {};  // "从", "到" of creation, then of modification
  QCheckBox* m_sizeSwitch = nullptr;
  QSpinBox* m_minSize = nullptr;
  QSpinBox* m_maxSize = nullptr;
  QCheckBox* m_attrSwitch = nullptr;
  QCheckBox* m_hidden = nullptr;
  QCheckBox* m_readOnly = nullptr;
};

}  // namespace solvane
