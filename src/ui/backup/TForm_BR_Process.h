#pragma once
// "任务监视": the tasks that wait to start, run or are paused, and for the
// chosen one its counters, the file each transfer engine moves, the rates
// and the overall progress. It reads the task list and the counters the
// engine threads keep; it never calls the server. Everything it shows is
// drawn from its own timer on the user-interface thread: the engine threads
// only write atomics and screen records that this screen copies.

#include <QString>
#include <array>
#include <cstdint>

#include "tasks/Unit_Handler_Define.h"
#include "ui/backup/ProgressFigures.h"
#include "ui/shell/QorWithUIDynamicForm.h"

class QGroupBox;
class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace solvane {

class TForm_BR_Process : public TQorEmbeddedScreen {
  Q_OBJECT
 public:
  static constexpr int kTickMs = 1000;
  static constexpr int kEngineLines = 5;

  explicit TForm_BR_Process(TUiShell& shell, QWidget* parent = nullptr);
  void Opening() override;

  // "刷新": rows follow the task list (states 1 to 3).
  void Refresh();
  // The chosen row's (or, with none chosen, the first row's) task on the
  // panels.
  void ShowSelectedTask();
  // What the timer runs: Refresh, then ShowSelectedTask.
  void Tick();

  QTreeWidget* TaskRows() const { return m_rows; }
  QTimer* Timer() const { return m_timer; }
  QPushButton* RefreshButton() const { return m_refresh; }
  QPushButton* StopButton() const { return m_stop; }
  QPushButton* PauseButton() const { return m_pause; }
  QPushButton* ResumeButton() const { return m_resume; }
  QLabel* Caption() const { return m_caption; }
  QLabel* EngineName(int i) const { return m_lines.at(i).name; }
  QProgressBar* EngineBar(int i) const { return m_lines.at(i).bar; }
  QLabel* EngineRate(int i) const { return m_lines.at(i).rate; }
  QLabel* TotalRate() const { return m_totalRate; }
  QProgressBar* FolderBar() const { return m_folderBar; }
  QProgressBar* FileBar() const { return m_fileBar; }
  QLabel* BytesMoved() const { return m_bytes; }
  QLabel* TimeLeft() const { return m_timeLeft; }

  // The caption for a task with the given counters.
  static QString CaptionText(std::int64_t folders, std::int64_t foldersLeft, std::int64_t files,
                             std::int64_t checked, std::int64_t needed, std::int64_t done,
                             std::int64_t failed);

 private:
  struct TEngineLine {
    QLabel* name = nullptr;
    QProgressBar* bar = nullptr;
    QLabel* rate = nullptr;
  };

  QWidget* NewToolbar();
  QWidget* NewEngineGroup();
  QWidget* NewOverallGroup();
  void AddRow(const TTaskObject& task);
  static std::int32_t RowTaskId(const QTreeWidgetItem* row);
  QTreeWidgetItem* ShownRow() const;
  TTaskObjectPtr TaskOfRow(const QTreeWidgetItem* row);
  void ShowShownRow();
  void ShowNothing();
  void SetButtonsFor(std::uint8_t state);
  void ShowTask(TTaskObject& task, std::int32_t taskId);
  void StopTask();
  void PauseTask();
  void ResumeTask();

  QTreeWidget* m_rows = nullptr;
  QTimer* m_timer = nullptr;
  QPushButton* m_refresh = nullptr;
  QPushButton* m_stop = nullptr;
  QPushButton* m_pause = nullptr;
  QPushButton* m_resume = nullptr;
  QLabel* m_caption = nullptr;
  std::array<TEngineLine, kEngineLines> m_lines;
  QLabel* m_totalRate = nullptr;
  QProgressBar* m_folderBar = nullptr;
  QProgressBar* m_fileBar = nullptr;
  QLabel* m_bytes = nullptr;
  QLabel* m_timeLeft = nullptr;
  TTimeLeftEstimate m_estimate;
  std::int32_t m_estimateFor = -1;  // the task the estimate samples
  bool m_showing = false;
};

}  // namespace solvane
