#include "ui/backup/FilterPage.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/backup/SchedulePanel.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr int kMaxSizeMB = 1048576;  // 1 TB

QStringList LinesOf(const QPlainTextEdit* box) {
  QStringList lines;
  for (const QString& line : box->toPlainText().split('\n'))
    if (!line.trimmed().isEmpty()) lines << line;
  return lines;
}

void SetLines(QPlainTextEdit* box, const std::vector<std::string>& lines) {
  QStringList all;
  for (const std::string& line : lines) all << QString::fromStdString(line);
  box->setPlainText(all.join('\n'));
}

std::vector<std::string> ToStrings(const QStringList& lines) {
  std::vector<std::string> all;
  for (const QString& line : lines) all.push_back(line.toStdString());
  return all;
}

QDateEdit* DatePicker(const char* name) {
  auto* picker = new QDateEdit;
  picker->setObjectName(QString::fromLatin1(name));
  picker->setDisplayFormat("yyyy-MM-dd");
  picker->setCalendarPopup(true);
  return picker;
}

// A range covers whole days: from the first second of "从" to the last of "到".
DateTime DayStart(const QDateEdit* picker) {
  return FromQDateTime(QDateTime(picker->date(), QTime(0, 0, 0)));
}
DateTime DayEnd(const QDateEdit* picker) {
  return FromQDateTime(QDateTime(picker->date(), QTime(23, 59, 59)));
}
void SetDay(QDateEdit* picker, DateTime t) {
  if (t.time_since_epoch().count() != 0) picker->setDate(ToQDateTime(t).date());
}

}  // namespace

QStringList DefaultExcludeLines() {
#ifdef _WIN32
  return {"\\Program Files", "~", "C:\\WINDOWS\\system32", "*.tmp", "*.temp",
          "\\Temp", "\\Temporary", "\\Windows", "\\Winnt", "\\System Volume"};
#else
  return {"~", "*.tmp", "*.temp", "/proc", "/sys", "/dev", "/run", "/tmp"};
#endif
}

TFilterPage::TFilterPage(TStyle style, QWidget* parent) : QWidget(parent), m_style(style) {
  auto* lines = new QHBoxLayout;
  lines->addWidget(BuildLines("仅备份以下文件、目录", m_include, "RzMemo_Include"));
  lines->addWidget(BuildLines("排除如下文件、目录", m_exclude, "RzMemo_Exclude"));
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(lines, 1);
  layout->addWidget(BuildTime());
  layout->addWidget(BuildSize());
  layout->addWidget(BuildAttributes());
  LoadDefaults();
}

QGroupBox* TFilterPage::BuildLines(const char* title, QPlainTextEdit*& box, const char* name) {
  auto* group = new QGroupBox(U(title));
  box = new QPlainTextEdit;
  box->setObjectName(QString::fromLatin1(name));
  box->setTabChangesFocus(true);
  box->setLineWrapMode(QPlainTextEdit::NoWrap);
  auto* layout = new QVBoxLayout(group);
  layout->addWidget(box);
  return group;
}

QWidget* TFilterPage::BuildTime() {
  auto* area = new QWidget;
  m_timeSwitch = new QCheckBox(U("时间条件"));
  m_timeBox = new QGroupBox;
  m_timeKinds = new QButtonGroup(this);
  m_createTime = new QRadioButton(U("创建时间"));
  m_modifyTime = new QRadioButton(U("修改时间"));
  m_timeKinds->addButton(m_createTime);
  m_timeKinds->addButton(m_modifyTime);
  m_createFrom = DatePicker("MinFileCreateDate");
  m_createTo = DatePicker("MaxFileCreateDate");
  m_modifyFrom = DatePicker("MinFileModifiedDate");
  m_modifyTo = DatePicker("MaxFileModifiedDate");
  auto* grid = new QGridLayout(m_timeBox);
  QRadioButton* kinds[2] = {m_createTime, m_modifyTime};
  QDateEdit* pickers[4] = {m_createFrom, m_createTo, m_modifyFrom, m_modifyTo};
  for (int row = 0; row < 2; ++row) {
    grid->addWidget(kinds[row], row, 0);
    for (int col = 0; col < 2; ++col) {
      QLabel*& label = m_dateLabels[row * 2 + col];
      label = new QLabel(U(col == 0 ? "从" : "到"));
      label->setBuddy(pickers[row * 2 + col]);
      grid->addWidget(label, row, 1 + col * 2);
      grid->addWidget(pickers[row * 2 + col], row, 2 + col * 2);
    }
  }
  grid->setColumnStretch(5, 1);
  auto* layout = new QVBoxLayout(area);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_timeSwitch);
  layout->addWidget(m_timeBox);

  connect(m_timeSwitch, &QCheckBox::toggled, this, &TFilterPage::TimeSwitched);
  connect(m_timeKinds, &QButtonGroup::buttonToggled, this, [this] { UpdateEnabled(); });
  return area;
}

QWidget* TFilterPage::BuildSize() {
  m_sizeSwitch = new QCheckBox(U("文件大小过滤"));
  m_minSize = new QSpinBox;
  m_maxSize = new QSpinBox;
  m_minSize->setObjectName("MinFileSize");
  m_maxSize->setObjectName("MaxFileSize");
  for (QSpinBox* box : {m_minSize, m_maxSize}) box->setRange(0, kMaxSizeMB);
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_sizeSwitch);
  layout->addWidget(new QLabel(U("只备份从")));
  layout->addWidget(m_minSize);
  layout->addWidget(new QLabel(U("MB到")));
  layout->addWidget(m_maxSize);
  layout->addWidget(new QLabel(U("MB的文件")));
  layout->addStretch(1);
  connect(m_sizeSwitch, &QCheckBox::toggled, this, [this] { UpdateEnabled(); });
  return row;
}

QWidget* TFilterPage::BuildAttributes() {
  m_attrSwitch = new QCheckBox(U("文件属性排除"));
  m_hidden = new QCheckBox(U("隐藏"));
  m_readOnly = new QCheckBox(U("只读"));
  auto* row = new QWidget;
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(m_attrSwitch);
  layout->addWidget(m_hidden);
  layout->addWidget(m_readOnly);
  layout->addStretch(1);
  connect(m_attrSwitch, &QCheckBox::toggled, this, [this](bool on) {
    if (!on && m_style == TStyle::FileBackupScreen) {
      m_hidden->setChecked(false);
      m_readOnly->setChecked(false);
    }
    UpdateEnabled();
  });
  return row;
}

void TFilterPage::ChooseTimeKind(QRadioButton* kind) {
  // An exclusive group cannot have its checked button unchecked.
  m_timeKinds->setExclusive(false);
  m_createTime->setChecked(kind == m_createTime);
  m_modifyTime->setChecked(kind == m_modifyTime);
  m_timeKinds->setExclusive(true);
  UpdateEnabled();
}

void TFilterPage::TimeSwitched(bool on) {
  if (!on && m_style == TStyle::PropertyDialog) ChooseTimeKind(nullptr);
  UpdateEnabled();
}

void TFilterPage::UpdateEnabled() {
  const bool timeOn = m_timeSwitch->isChecked();
  m_timeBox->setEnabled(timeOn);
  m_createTime->setEnabled(timeOn);
  m_modifyTime->setEnabled(timeOn);
  const bool pairOn[2] = {timeOn && m_createTime->isChecked(), timeOn && m_modifyTime->isChecked()};
  QDateEdit* pickers[4] = {m_createFrom, m_createTo, m_modifyFrom, m_modifyTo};
  for (int i = 0; i < 4; ++i) {
    pickers[i]->setEnabled(pairOn[i / 2]);
    m_dateLabels[i]->setEnabled(pairOn[i / 2]);
  }
  m_minSize->setEnabled(m_sizeSwitch->isChecked());
  m_maxSize->setEnabled(m_sizeSwitch->isChecked());
  m_hidden->setEnabled(m_attrSwitch->isChecked());
  m_readOnly->setEnabled(m_attrSwitch->isChecked());
}

void TFilterPage::ResetDates() {
  const QDate today = QDate::currentDate();
  m_createFrom->setDate(today.addDays(-1));
  m_modifyFrom->setDate(today.addDays(-1));
  m_createTo->setDate(today);
  m_modifyTo->setDate(today);
}

void TFilterPage::LoadDefaults() {
  m_include->clear();
  m_exclude->setPlainText(DefaultExcludeLines().join('\n'));
  m_timeSwitch->setChecked(false);
  ChooseTimeKind(m_style == TStyle::PropertyDialog ? nullptr : m_modifyTime);
  ResetDates();
  m_sizeSwitch->setChecked(false);
  m_minSize->setValue(0);
  m_maxSize->setValue(0);
  m_attrSwitch->setChecked(false);
  m_hidden->setChecked(false);
  m_readOnly->setChecked(false);
  UpdateEnabled();
}

void TFilterPage::Load(const TTaskFilterInfo& f) {
  SetLines(m_include, f.IncludeList);
  SetLines(m_exclude, f.ExcludeList);
  m_timeSwitch->setChecked(f.FilterCreateDate || f.FilterUpdateDate);
  if (f.FilterCreateDate)
    ChooseTimeKind(m_createTime);
  else if (f.FilterUpdateDate)
    ChooseTimeKind(m_modifyTime);
  else
    ChooseTimeKind(m_style == TStyle::PropertyDialog ? nullptr : m_modifyTime);
  ResetDates();
  SetDay(m_createFrom, f.MinFileCreateDate);
  SetDay(m_createTo, f.MaxFileCreateDate);
  SetDay(m_modifyFrom, f.MinFileModifiedDate);
  SetDay(m_modifyTo, f.MaxFileModifiedDate);
  m_sizeSwitch->setChecked(f.FilterSize);
  m_minSize->setValue(f.MinFileSize);
  m_maxSize->setValue(f.MaxFileSize);
  // The switch before the boxes: switching it off may clear them.
  m_attrSwitch->setChecked(f.FilterAttribute);
  m_hidden->setChecked(f.IsFilterHidden);
  m_readOnly->setChecked(f.IsFilterReadOnly);
  UpdateEnabled();
}

void TFilterPage::Save(TTaskFilterInfo& f) const {
  f.IncludeList = ToStrings(LinesOf(m_include));
  f.ExcludeList = ToStrings(LinesOf(m_exclude));
  const bool timeOn = m_timeSwitch->isChecked();
  f.FilterCreateDate = timeOn && m_createTime->isChecked();
  f.FilterUpdateDate = timeOn && m_modifyTime->isChecked();
  f.MinFileCreateDate = DayStart(m_createFrom);
  f.MaxFileCreateDate = DayEnd(m_createTo);
  f.MinFileModifiedDate = DayStart(m_modifyFrom);
  f.MaxFileModifiedDate = DayEnd(m_modifyTo);
  f.FilterSize = m_sizeSwitch->isChecked();
  f.MinFileSize = m_minSize->value();
  f.MaxFileSize = m_maxSize->value();
  f.FilterAttribute = m_attrSwitch->isChecked();
  f.IsFilterReadOnly = m_readOnly->isChecked();
  f.IsFilterHidden = m_hidden->isChecked();
}

}  // namespace solvane
