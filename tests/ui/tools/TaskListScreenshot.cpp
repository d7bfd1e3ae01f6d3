// Takes the documentation pictures of the task list and of the property
// dialog of a file backup task (its three pages), signed in to a test server
// that holds a few named tasks and one default task.
// Usage (under Xvfb): ui_task_list_screenshot <folder>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <cstdio>

#include "UiTestSupport.h"
#include "client/FileTaskSaving.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "platform/LocalTime.h"
#include "tasks/TTaskObject_File.h"
#include "ui/backup/TForm_BR_TaskList.h"
#include "ui/backup/TForm_BR_TaskList_FileBackup.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

bool Save(QWidget& w, const QString& path) {
  QTest::qWait(300);
  const bool ok = w.grab().save(path);
  std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
  return ok;
}

DateTime At(int year, int month, int day, int hour, int minute) {
  return *FromLocalDateTime(TLocalDateTime{year, month, day, hour, minute, 0, 0});
}

// A named task on the server; its TaskID, -1 when the server refused it.
std::int32_t AddTask(TPublicInfo& info, int kind, const char* name, const char* comment,
                     const std::vector<std::pair<QString, bool>>& objects,
                     void (*schedule)(TTaskScheduleInfo&)) {
  TTaskObjectPtr task = CreateTaskObject(kind, 0, info.UserCode());
  task->TaskID = info.Tasks().NewTaskID(info.Now());
  task->TaskKind = static_cast<std::int16_t>(kind);
  task->TaskName = name;
  task->Comment = comment;
  task->ScheduleInfo.DelayExcuteMinute = 10;
  schedule(task->ScheduleInfo);
  for (const auto& [path, folder] : objects)
    task->FileObjects.Items.push_back({path.toStdString(), std::uint8_t(folder ? 1 : 0), -1, -1, -1});
  task->FilterInfo.ExcludeList = {"~", "*.tmp", "*.temp"};
  task->FilterInfo.FilterSize = true;
  task->FilterInfo.MinFileSize = 0;
  task->FilterInfo.MaxFileSize = 200;
  if (!InsertTaskOnServer(info, *task) || !SendFileTaskContent(info, *task)) return -1;
  info.Tasks().Add(task);  // each task its own ID
  return task->TaskID;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const QString out = QString::fromLocal8Bit(argv[1]);
  const QString home = "/home/ann";

  TUiTestEnv env;
  if (!env.Started()) return 1;
  env.Server().Admin({"task", "add-default", "部门共享文档", "--kind", "200", "--folder",
                      "/home/ann/部门", "--daily", "1", "--start", "2026-12-01 18:00:00",
                      "--assign", TUiTestEnv::kUser});
  TPublicInfo& info = env.Info();
  if (!Login(info)) return 1;
  info.Engine().SetEngineActive(false);
  const std::int32_t weekly = AddTask(
      info, 100, "每周文档备份", "文档和合同\r\n每周一、四上午",
      {{home + "/文档", true}, {home + "/合同/租赁合同.pdf", false}, {home + "/预算.xlsx", false}},
      [](TTaskScheduleInfo& s) {
        s.IsEnableSchedule = true;
        s.Schedule_StartTime = At(2026, 12, 7, 9, 0);
        s.Schedule_Kind = 2;
        s.Weekly_Weeks = 1;
        s.IsWeekly_Day[0] = s.IsWeekly_Day[3] = true;
      });
  AddTask(info, 100, "月末财务报表", "", {{home + "/财务", true}}, [](TTaskScheduleInfo& s) {
    s.IsEnableSchedule = true;
    s.Schedule_StartTime = At(2026, 12, 1, 20, 30);
    s.Schedule_Kind = 3;
    s.Monthly_Months = 1;
    s.Monthly_Prefix = 3;
    s.Monthly_Day = 5;
  });
  AddTask(info, 200, "照片同步", "手动执行", {{home + "/图片", true}}, [](TTaskScheduleInfo&) {});
  if (weekly < 0 || !info.Tasks().LoadFromServer(info)) return 1;

  TUiShell shell(info);
  bool ok = true;
  {
    TForm_BR_TaskList list(shell);
    list.resize(1000, 620);
    list.show();
    list.Opening();
    list.SelectTask(weekly);
    ok &= Save(list, out + "/task-list.png");
  }
  {
    TForm_BR_TaskList_FileBackup dialog(shell, weekly);
    dialog.show();
    ok &= Save(dialog, out + "/task-property-basic.png");
    dialog.Pages()->setCurrentIndex(1);
    ok &= Save(dialog, out + "/task-property-content.png");
    dialog.Pages()->setCurrentIndex(2);
    ok &= Save(dialog, out + "/task-property-filter.png");
  }
  return ok ? 0 : 1;
}
