// Takes the documentation pictures of the share and authorised areas: the
// main window signed in to a test server that holds a few share folders, a
// file and some permissions.
// Usage (under Xvfb): ui_areas_screenshot <png> <share|share-files|folder-dialog|auth|
//                     auth-viewers|request-dialog>

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <QThread>
#include <QTimer>
#include <QPushButton>
#include <QTreeWidget>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <thread>

#include "UiTestSupport.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "tasks/ShareAreaCalls.h"
#include "tasks/TTaskObject_ShareFile.h"
#include "ui/areas/TForm_BR_AuthArea.h"
#include "ui/areas/TForm_BR_AuthArea_SendRequest.h"
#include "ui/areas/TForm_BR_ShareArea.h"
#include "ui/areas/TForm_BR_ShareArea_FolderInfo.h"
#include "ui/shell/QorWithUIMsnMsg.h"
#include "ui/shell/TForm_Main.h"
#include "ui/shell/UiShell.h"
#include "wire/QorWithUiPump.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

std::string PasswordOf(const std::string& user) {
  return user == TUiTestEnv::kUser ? std::string(TUiTestEnv::kPassword) : "pw-" + user;
}

bool Call(TServerProcess& server, const std::string& user, const std::string& password,
          const std::string& op, const std::vector<std::pair<std::string, std::string>>& fields) {
  TTestClient client;
  if (!client.Connect(server.Port()) || !client.Login(user, password)) return false;
  auto request = MakeRequest(op, fields);
  return client.CallOk(request);
}

// A request from sender to receiver, approved when allow is set.
void Permission(TServerProcess& server, const std::string& sender, const std::string& receiver,
                const std::string& context, bool decide) {
  Call(server, sender, PasswordOf(sender), "TAuth.SendMessage",
       {{"UAdmin", sender}, {"UIPAddr", ""}, {"UMAC", ""}, {"Sender", sender},
        {"Receiver", receiver}, {"Comment", ""}, {"Context", context}});
  if (!decide) return;
  TTestClient client;
  client.Connect(server.Port());
  client.Login(receiver, PasswordOf(receiver));
  auto list = MakeRequest("TAuth.SelectMessage", {{"UCode", receiver}, {"Direction", "0"}});
  if (!client.CallOk(list)) return;
  for (int i = 1; i <= list.RecordSetCount(); ++i) {
    if (list.FieldByName(i, "Sender").AsString() != sender) continue;
    const std::string sendDate = list.FieldByName(i, "SendDate").AsString();
    auto decision = MakeRequest("TAuth.ReceiveMessage",
                                {{"UAdmin", receiver}, {"UIPAddr", ""}, {"UMAC", ""},
                                 {"Receiver", receiver}, {"Sender", sender},
                                 {"SendDate", sendDate}, {"IsAllowed", "1"}});
    client.CallOk(decision);
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <png> <share|share-files|folder-dialog|auth|auth-viewers|"
                         "request-dialog>\n", argv[0]);
    return 2;
  }
  const QString path = QString::fromLocal8Bit(argv[1]);
  const QString what = QString::fromLocal8Bit(argv[2]);

  TUiTestEnv env;
  if (!env.Started()) return 1;
  TServerProcess& server = env.Server();
  server.Admin({"user", "set", TUiTestEnv::kUser, "--name", "Ann Li"});
  for (const char* user : {"bob", "carl", "accounting"}) server.AddUser(user, std::string("pw-") + user);
  server.Admin({"user", "set", "accounting", "--name", "财务部"});
  server.Admin({"share", "add", "项目资料", "--owner", "ann", "--read-only", "0", "--password",
                "pw", "--comment", "项目组共用"});
  server.Admin({"share", "add", "2026年报", "--owner", "ann", "--parent", "1", "--comment",
                "定稿后上传"});
  server.Admin({"share", "add", "公司制度", "--owner", "bob", "--comment", "只读,请勿修改"});
  server.Admin({"auth", "mode", "1"});
  Permission(server, "ann", "accounting", "请允许我查看备份", true);
  Permission(server, "bob", "ann", "交接工作需要", true);
  Permission(server, "carl", "ann", "请求查看项目备份\x02谢谢", false);

  SetUiThread(std::this_thread::get_id());
  SetUiPump([] { QCoreApplication::processEvents(); });
  TSettings s = env.Info().Settings();
  s.IsSavedUserInfo = true;  // signs in at the first showing
  env.Info().SetSettings(s);

  // A file in ann's folder, put there by a share task as the screen does it.
  const std::filesystem::path file = std::filesystem::path(env.Scratch()) / "季度报告.docx";
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file, std::ios::binary) << std::string(3456789, 'r');

  int result = 1;
  {
    TUiShell shell(env.Info());
    TForm_Main window(shell);
    QObject::connect(&window, &TForm_Main::FirstShowingFinished, &window, [&] {
      TPublicInfo& info = env.Info();
      auto task = MakeShareUploadTask(info, 1, {file.string()});
      info.Tasks().Add(task);
      info.Tasks().RequestStart(task->TaskID, false, info.Now());
      for (int i = 0; i < 200; ++i) {
        std::vector<TShareFileInfo> files;
        if (OpenShareFolder(info, 1, "", files) == TShareCallResult::kOk && !files.empty()) break;
        QThread::msleep(50);
        QCoreApplication::processEvents();
      }
      window.ShowSection(2);
      QWidget* toGrab = &window;
      auto* share = shell.Screens().Screen<TForm_BR_ShareArea>();
      if (what == "share-files") {
        share->FolderTree()->setCurrentItem(share->FindNode(1));
        share->Button("OpenFolder")->click();
      } else if (what == "folder-dialog") {
        share->FolderTree()->setCurrentItem(share->FindNode(1));
        auto* dialog = new TForm_BR_ShareArea_FolderInfo(
            info, TForm_BR_ShareArea_FolderInfo::TMode::Edit,
            {1, 0, "项目资料", "ann", "项目组共用", false, true}, &window);
        dialog->show();
        toGrab = dialog;
      } else if (what.startsWith("auth") || what == "request-dialog") {
        window.findChild<QPushButton*>("LinkAuthArea")->click();
        auto* auth = shell.Screens().Screen<TForm_BR_AuthArea>();
        if (what == "auth-viewers") auth->Pages()->setCurrentIndex(1);
        if (what == "request-dialog") {
          auto* dialog = new TForm_BR_AuthArea_SendRequest(info, &window);
          dialog->show();
          toGrab = dialog;
        }
      }
      QTimer::singleShot(1500, &window, [&, toGrab] {
        result = toGrab->grab().save(path) ? 0 : 1;
        QCoreApplication::exit(0);
      });
    });
    if (QScreen* screen = QGuiApplication::primaryScreen())
      window.setGeometry(screen->availableGeometry());
    window.showMaximized();
    app.exec();
    CloseAllNotes();
    Logout(env.Info());
  }
  SetUiPump({});
  SetUiThread({});
  return result;
}
