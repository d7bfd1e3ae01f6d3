#pragma once
// The schedule controls of the task dialogs: "启动时间策略", the start date
// and time, and the four schedule kinds with a panel each. Everything below
// the switch is enabled only while it is on; choosing a kind brings its
// panel to the front.
//
// Load and Save carry every schedule field whatever the switch and the kind,
// so a dialog that saves an untouched task sends back what it loaded. The
// allowed delay (DelayExcuteMinute) is not part of this panel: the dialogs
// place that box themselves; Save leaves the field as it finds it.

#include <QString>
#include <QWidget>

#include "tasks/Unit_Handler_Define.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QDateTime;
class QDateEdit;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSpinBox;
class QStackedWidget;
class QTimeEdit;

namespace solvane {

class TSchedulePanel : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kKinds = 4;  // periodical, days, weeks, months

  // switchText: "启动时间策略" in the settings dialog, "时间策略" in the
  // property dialogs.
  explicit TSchedulePanel(const QString& switchText = QString::fromUtf8("启动时间策略"),
                          QWidget* parent = nullptr);

  void Load(const TTaskScheduleInfo& s);
  void Save(TTaskScheduleInfo& s) const;
  // Empty when the schedule may be saved; else the error to show: a weekly
  // schedule without a day never fires, a periodical one of zero length
  // would fire without pause.
  QString CheckSchedule() const;
  // The start date becomes today (the time stays).
  void StartToday();

  bool IsScheduleOn() const;

  QCheckBox* ScheduleSwitch() const { return m_switch; }
  QDateEdit* StartDate() const { return m_startDate; }
  QTimeEdit* StartTime() const { return m_startTime; }
  QRadioButton* KindButton(int kind) const { return m_kinds[kind]; }
  int Kind() const;
  QStackedWidget* KindPanels() const { return m_panels; }
  QGroupBox* KindPanel(int kind) const { return m_kindPanels[kind]; }
  QSpinBox* PeriodicalDays() const { return m_periodDays; }
  QSpinBox* PeriodicalHours() const { return m_periodHours; }
  QSpinBox* PeriodicalMinutes() const { return m_periodMinutes; }
  QSpinBox* DailyDays() const { return m_dailyDays; }
  QSpinBox* WeeklyWeeks() const { return m_weeklyWeeks; }
  QCheckBox* WeekDay(int mondayBased) const { return m_weekDays[mondayBased]; }
  QSpinBox* MonthlyMonths() const { return m_monthlyMonths; }
  QComboBox* MonthlyPrefix() const { return m_monthlyPrefix; }
  QComboBox* MonthlyDay() const { return m_monthlyDay; }

 signals:
  void ScheduleSwitched(bool on);

 private:
  QWidget* BuildStart();
  QGroupBox* BuildKinds();
  QGroupBox* BuildPeriodical();
  QGroupBox* BuildDaily();
  QGroupBox* BuildWeekly();
  QGroupBox* BuildMonthly();
  void ChooseKind(int kind);
  void UpdateEnabled();

  QCheckBox* m_switch = nullptr;
  QLabel* m_startDateLabel = nullptr;
  QLabel* m_startTimeLabel = nullptr;
  QDateEdit* m_startDate = nullptr;
  QTimeEdit* m_startTime = nullptr;
  QGroupBox* m_kindBox = nullptr;
  QButtonGroup* m_kindGroup = nullptr;
  QRadioButton* m_kinds[kKinds] = {};
  QStackedWidget* m_panels = nullptr;
  QGroupBox* m_kindPanels[kKinds] = {};
  QSpinBox* m_periodDays = nullptr;
  QSpinBox* m_periodHours = nullptr;
  QSpinBox* m_periodMinutes = nullptr;
  QSpinBox* m_dailyDays = nullptr;
  QSpinBox* m_weeklyWeeks = nullptr;
  QCheckBox* m_weekDays[7] = {};
  QSpinBox* m_monthlyMonths = nullptr;
  QComboBox* m_monthlyPrefix = nullptr;
  QComboBox* m_monthlyDay = nullptr;
};

// Conversions between the core's date-times and Qt's, in local time.
QDateTime ToQDateTime(DateTime t);
DateTime FromQDateTime(const QDateTime& t);

}  // namespace solvane
