#pragma once
// "任 务 日 志 ": the server's record of the signed-in user's runs in a span
// of days (page "选择任务"), and for one run its counters, the files that
// failed with the reason and the folders and files it stored (page
// "任务详情"). It only reads.

#include <QString>
#include <array>
#include <cstdint>

#include "api/TaskApi.h"
#include "ui/shell/QorWithUIDynamicForm.h"

class QDateEdit;
class QLabel;
class QPushButton;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

class TRunObjectTree;

// What a run row keeps beside its cells.
struct TReportRun {
  std::int32_t TaskID = -1;
  std::int64_t TaskKind = 0;
  std::uint32_t SessionID = 0;  // packed
};

// The eight figures of "基本信息", in the order shown.
struct TReportFigures {
  std::int64_t FolderTotal = 0;
  std::int64_t Checked = 0;
  std::int64_t CheckedNeedingTransfer = 0;
  std::int64_t CheckedUnchanged = 0;
  std::int64_t TotalFiles = 0;
  std::int64_t Done = 0;
  std::int64_t DoneBytes = 0;
  std::int64_t Failed = 0;
  static TReportFigures Of(const api::TRunCounters& c);
};

class TForm_BR_TaskReport : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  static constexpr int kFigures = 8;

  explicit TForm_BR_TaskReport(TUiShell& shell, QWidget* parent = nullptr);
  // Dates from the span the task navigation left in the shared parameters
  // (else the last seven days); empty list on the first page.
  void Opening() override;

  // "查找".
  void FindRuns();
  // "查看详情" (and a double click or Enter on a run).
  void ShowDetails();
  // "上一步".
  void GoBack();

  QDateEdit* StartDate() const { return m_start; }
  QDateEdit* EndDate() const { return m_end; }
  QPushButton* FindButton() const { return m_find; }
  QPushButton* DetailsButton() const { return m_details; }
  QPushButton* BackButton() const { return m_back; }
  QTreeWidget* RunList() const { return m_runs; }
  QTabWidget* Pages() const { return m_pages; }
  bool ShowingDetails() const;
  QLabel* Figure(int i) const { return m_figures.at(i); }
  QTreeWidget* ErrorList() const { return m_errors; }
  TRunObjectTree* ObjectTree() const { return m_tree; }
  QTabWidget* ObjectPages() const { return m_objectPages; }

  static TReportRun RunOf(const QTreeWidgetItem* row);

 private:
  QWidget* NewRunPage();
  QWidget* NewDetailPage();
  void ShowPage(int page);
  void AddRunRow(const api::TRunReport& run);
  void LoadDetails(const TReportRun& run);
  void SetFigures(const TReportFigures& f);
  void SetBusy(bool busy);

  QTabWidget* m_pages = nullptr;
  QDateEdit* m_start = nullptr;
  QDateEdit* m_end = nullptr;
  QPushButton* m_find = nullptr;
  QPushButton* m_details = nullptr;
  QPushButton* m_back = nullptr;
  QTreeWidget* m_runs = nullptr;
  std::array<QLabel*, kFigures> m_figures{};
  QTreeWidget* m_errors = nullptr;
  QTabWidget* m_objectPages = nullptr;
  TRunObjectTree* m_tree = nullptr;
  bool m_busy = false;
};

}  // namespace solvane
