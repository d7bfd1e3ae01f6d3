#include "ui/backup/SchedulePanel.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTimeEdit>
#include <QVBoxLayout>
#include <algorithm>
#include <chrono>

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// Generous upper limits: a stored value is never cut by the box that shows it.
constexpr int kMaxCount = 99999;

QSpinBox* NumberBox(int least, int initial, const char* name) {
  auto* box = new QSpinBox;
  box->setRange(least, kMaxCount);
  box->setValue(initial);
  box->setObjectName(QString::fromLatin1(name));
  return box;
}

// A row of captions and boxes: "每隔" [box] "天" ...
QWidget* Sentence(std::initializer_list<QWidget*> parts) {
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  for (QWidget* part : parts) layout->addWidget(part);
  layout->addStretch(1);
  return row;
}

QLabel* Caption(const char* text) { return new QLabel(U(text)); }

// The epoch stands for a start time never set.
bool IsSet(DateTime t) { return t.time_since_epoch().count() != 0; }

}  // namespace

QDateTime ToQDateTime(DateTime t) {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(t.time_since_epoch());
  return QDateTime::fromMSecsSinceEpoch(ms.count());
}

DateTime FromQDateTime(const QDateTime& t) {
  return DateTime(std::chrono::milliseconds(t.toMSecsSinceEpoch()));
}

TSchedulePanel::TSchedulePanel(const QString& switchText, QWidget* parent) : QWidget(parent) {
  m_switch = new QCheckBox(switchText);
  m_switch->setObjectName("RzCheckBox_Schedule");
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_switch);
  layout->addWidget(BuildStart());
  layout->addWidget(BuildKinds(), 1);

  connect(m_switch, &QCheckBox::toggled, this, [this](bool on) {
    UpdateEnabled();
    emit ScheduleSwitched(on);
  });
  connect(m_kindGroup, &QButtonGroup::idClicked, this, &TSchedulePanel::ChooseKind);
  ChooseKind(0);
  UpdateEnabled();
}

QWidget* TSchedulePanel::BuildStart() {
  m_startDateLabel = Caption("起始日期:");
  m_startTimeLabel = Caption("起始时间:");
  m_startDate = new QDateEdit(QDate::currentDate());
  m_startDate->setObjectName("RzDateTimePicker_StartDate");
  m_startDate->setDisplayFormat("yyyy-MM-dd");
  m_startDate->setCalendarPopup(true);
  m_startTime = new QTimeEdit(QTime(9, 0, 0));
  m_startTime->setObjectName("RzDateTimePicker_StartTime");
  m_startTime->setDisplayFormat("HH:mm:ss");
  m_startDateLabel->setBuddy(m_startDate);
  m_startTimeLabel->setBuddy(m_startTime);
  return Sentence({m_startDateLabel, m_startDate, m_startTimeLabel, m_startTime});
}

QGroupBox* TSchedulePanel::BuildKinds() {
  m_kindBox = new QGroupBox(U("时间策略类型"));
  m_kindBox->setObjectName("RzRadioGroup_ScheduleKind");
  m_kindGroup = new QButtonGroup(this);
  const char* names[kKinds] = {"周期性执行", "间隔若干日执行", "间隔若干周执行", "间隔若干月执行"};
  auto* choices = new QVBoxLayout;
  for (int kind = 0; kind < kKinds; ++kind) {
    m_kinds[kind] = new QRadioButton(U(names[kind]));
    m_kindGroup->addButton(m_kinds[kind], kind);
    choices->addWidget(m_kinds[kind]);
  }
  choices->addStretch(1);

  m_panels = new QStackedWidget;
  m_kindPanels[0] = BuildPeriodical();
  m_kindPanels[1] = BuildDaily();
  m_kindPanels[2] = BuildWeekly();
  m_kindPanels[3] = BuildMonthly();
  for (QGroupBox* panel : m_kindPanels) m_panels->addWidget(panel);

  auto* row = new QHBoxLayout(m_kindBox);
  row->addLayout(choices);
  row->addWidget(m_panels, 1);
  return m_kindBox;
}

QGroupBox* TSchedulePanel::BuildPeriodical() {
  auto* panel = new QGroupBox;
  panel->setObjectName("RzGroupBox_Periodical");
  m_periodDays = NumberBox(0, 1, "Periodical_Days");
  m_periodHours = NumberBox(0, 0, "Periodical_Hours");
  m_periodMinutes = NumberBox(10, 10, "Periodical_Minites");
  auto* layout = new QVBoxLayout(panel);
  layout->addWidget(Sentence({Caption("每隔"), m_periodDays, Caption("天"), m_periodHours,
                              Caption("小时"), m_periodMinutes, Caption("分钟")}));
  layout->addStretch(1);
  return panel;
}

QGroupBox* TSchedulePanel::BuildDaily() {
  auto* panel = new QGroupBox;
  panel->setObjectName("RzGroupBox_Daily");
  m_dailyDays = NumberBox(1, 1, "Daily_Days");
  auto* layout = new QVBoxLayout(panel);
  layout->addWidget(Sentence({Caption("每隔"), m_dailyDays, Caption("天")}));
  layout->addStretch(1);
  return panel;
}

QGroupBox* TSchedulePanel::BuildWeekly() {
  auto* panel = new QGroupBox;
  panel->setObjectName("RzGroupBox_Weekly");
  m_weeklyWeeks = NumberBox(1, 1, "Weekly_Weeks");
  const char* days[7] = {"星期一", "星期二", "星期三", "星期四", "星期五", "星期六", "星期日"};
  auto* grid = new QGridLayout;
  for (int day = 0; day < 7; ++day) {
    m_weekDays[day] = new QCheckBox(U(days[day]));
    m_weekDays[day]->setObjectName(QString("IsWeekly_Day%1").arg(day + 1));
    grid->addWidget(m_weekDays[day], day / 4, day % 4);
  }
  auto* layout = new QVBoxLayout(panel);
  layout->addWidget(Sentence({Caption("每"), m_weeklyWeeks, Caption("周")}));
  layout->addLayout(grid);
  layout->addStretch(1);
  return panel;
}

QGroupBox* TSchedulePanel::BuildMonthly() {
  auto* panel = new QGroupBox;
  panel->setObjectName("RzGroupBox_Monthly");
  m_monthlyMonths = NumberBox(1, 1, "Monthly_Months");
  m_monthlyPrefix = new QComboBox;
  m_monthlyPrefix->setObjectName("Monthly_Prefix");
  for (const char* p : {"第一个", "第二个", "第三个", "最后一个", "倒数第二个"})
    m_monthlyPrefix->addItem(U(p));
  m_monthlyDay = new QComboBox;
  m_monthlyDay->setObjectName("Monthly_Day");
  for (const char* d : {"星期天", "星期一", "星期二", "星期三", "星期四", "星期五", "星期六"})
    m_monthlyDay->addItem(U(d));
  m_monthlyDay->setCurrentIndex(1);
  auto* layout = new QVBoxLayout(panel);
  layout->addWidget(Sentence({Caption("每"), m_monthlyMonths, Caption("月")}));
  layout->addWidget(Sentence({m_monthlyPrefix, Caption("星期"), m_monthlyDay}));
  layout->addStretch(1);
  return panel;
}

void TSchedulePanel::ChooseKind(int kind) {
  kind = std::clamp(kind, 0, kKinds - 1);
  m_kinds[kind]->setChecked(true);
  m_panels->setCurrentIndex(kind);
}

int TSchedulePanel::Kind() const { return std::max(0, m_kindGroup->checkedId()); }

bool TSchedulePanel::IsScheduleOn() const { return m_switch->isChecked(); }

void TSchedulePanel::UpdateEnabled() {
  const bool on = m_switch->isChecked();
  for (QWidget* w : std::initializer_list<QWidget*>{m_startDateLabel, m_startDate, m_startTimeLabel,
                                                    m_startTime, m_kindBox})
    w->setEnabled(on);
}

void TSchedulePanel::StartToday() { m_startDate->setDate(QDate::currentDate()); }

void TSchedulePanel::Load(const TTaskScheduleInfo& s) {
  m_switch->setChecked(s.IsEnableSchedule);
  if (IsSet(s.Schedule_StartTime)) {
    const QDateTime start = ToQDateTime(s.Schedule_StartTime);
    m_startDate->setDate(start.date());
    m_startTime->setTime(start.time());
  }
  ChooseKind(s.Schedule_Kind);
  m_periodDays->setValue(s.Periodical_Days);
  m_periodHours->setValue(s.Periodical_Hours);
  m_periodMinutes->setValue(s.Periodical_Minites);
  m_dailyDays->setValue(s.Daily_Days);
  m_weeklyWeeks->setValue(s.Weekly_Weeks);
  for (int day = 0; day < 7; ++day) m_weekDays[day]->setChecked(s.IsWeekly_Day[day]);
  m_monthlyMonths->setValue(s.Monthly_Months);
  m_monthlyPrefix->setCurrentIndex(std::clamp(s.Monthly_Prefix, 0, m_monthlyPrefix->count() - 1));
  m_monthlyDay->setCurrentIndex(std::clamp(s.Monthly_Day, 0, m_monthlyDay->count() - 1));
  UpdateEnabled();
}

void TSchedulePanel::Save(TTaskScheduleInfo& s) const {
  s.IsEnableSchedule = m_switch->isChecked();
  const QTime time = m_startTime->time();
  s.Schedule_StartTime = FromQDateTime(
      QDateTime(m_startDate->date(), QTime(time.hour(), time.minute(), time.second())));
  s.Schedule_Kind = Kind();
  s.Periodical_Days = m_periodDays->value();
  s.Periodical_Hours = m_periodHours->value();
  s.Periodical_Minites = m_periodMinutes->value();
  s.Daily_Days = m_dailyDays->value();
  s.Weekly_Weeks = m_weeklyWeeks->value();
  for (int day = 0; day < 7; ++day) s.IsWeekly_Day[day] = m_weekDays[day]->isChecked();
  s.Monthly_Months = m_monthlyMonths->value();
  s.Monthly_Prefix = m_monthlyPrefix->currentIndex();
  s.Monthly_Day = m_monthlyDay->currentIndex();
}

QString TSchedulePanel::CheckSchedule() const {
  if (!m_switch->isChecked()) return {};
  if (Kind() == 2 && std::none_of(std::begin(m_weekDays), std::end(m_weekDays),
                                  [](QCheckBox* b) { return b->isChecked(); }))
    return U("当前时间策略下，至少要选中一天!");
  if (Kind() == 0 && m_periodDays->value() == 0 && m_periodHours->value() == 0 &&
      m_periodMinutes->value() == 0)
    return U("不能全部为0!");
  return {};
}

}  // namespace solvane
