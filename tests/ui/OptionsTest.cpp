// The options screen against a real server: the user's space with the pie,
// and the local options saved through the settings (autorun entry, cache
// folder, free-space warning, pacing).

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <memory>

#include "NoteCheck.h"
#include "UiStoredFile.h"
#include "UiTestSupport.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "ui/shell/TForm_Tool_Option.h"
#include "ui/shell/TSimplePie.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;
namespace fs = std::filesystem;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<TForm_Tool_Option> m_screen;

  TPublicInfo& Info() { return m_env->Info(); }
  TForm_Tool_Option& Screen() { return *m_screen; }

  // The options as the next start of the program reads them.
  TSettings Saved() {
    TXdgAutoRun unused(m_env->Scratch() + "/unused");
    return TSettingsStore(m_env->Registry(), unused, Info().ProgramFile()).LoadSettings();
  }
  std::string AutoRunEntry() const { return m_env->AutoRunHome() + "/autostart/Kestrune.desktop"; }
  void Confirm() { Screen().OkButton()->click(); }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_shell = std::make_unique<TUiShell>(Info());
    m_screen = std::make_unique<TForm_Tool_Option>(*m_shell);
  }

  void cleanup() {
    CloseAllNotes();
    m_screen.reset();
    m_shell.reset();
    m_env.reset();
  }

  void notConnectedShowsZerosYetSavesLocalOptions() {
    Screen().Opening();
    QVERIFY2(HasNote(U("网络连接不存在或者未连接上服务器!"), 2), qPrintable(DescribeNotes()));
    QCOMPARE(Screen().AllocatedField()->text(), QString("0"));
    QCOMPARE(Screen().AvailableField()->text(), QString("0"));
    QCOMPARE(Screen().RateLabel()->text(), QString("100%"));
    // Nothing tried to reach the server.
    for (std::size_t i = 0; i < Info().Pool().Count(); ++i)
      QCOMPARE(Info().Pool().Item(i).ConnectAttempts(), std::uint64_t(0));

    Screen().SaveUserBox()->setChecked(true);
    Screen().WarningField()->setValue(2048);
    Confirm();
    QVERIFY2(HasNote(U("选项信息修改成功!"), 0), qPrintable(DescribeNotes()));
    QVERIFY(Saved().IsSavedUserInfo);
    QCOMPARE(Saved().WarningSpace, std::int64_t(2048));
    QVERIFY(Info().Settings().IsSavedUserInfo);
  }

  void spaceAfterLogin_data() {
    QTest::addColumn<int>("totalMb");
    QTest::addColumn<int>("storedBytes");
    QTest::addColumn<QString>("allocated");
    QTest::addColumn<QString>("available");
    QTest::addColumn<int>("percent");
    // The server counts used space in whole megabytes, rounded up.
    QTest::newRow("unused") << 4096 << 0 << "4,096"
                            << "4,096" << 100;
    QTest::newRow("a quarter used") << 4 << 1 << "4"
                                    << "3" << 75;
    QTest::newRow("no space allotted") << 0 << 0 << "0"
                                       << "0" << 100;
    QTest::newRow("all used") << 1 << 10 << "1"
                              << "0" << 0;
  }
  void spaceAfterLogin() {
    QFETCH(int, totalMb);
    QFETCH(int, storedBytes);
    QFETCH(QString, allocated);
    QFETCH(QString, available);
    QFETCH(int, percent);
    if (storedBytes > 0)
      QVERIFY(StoreFile(m_env->Server(), TUiTestEnv::kUser, TUiTestEnv::kPassword, "a.txt",
                        std::string(storedBytes, 'x')));
    auto set = m_env->Server().Admin({"user", "set", "ann", "--space", std::to_string(totalMb)});
    QCOMPARE(set.exitCode, 0);
    QVERIFY(Login(Info()));

    Screen().Opening();
    QCOMPARE(Screen().AllocatedField()->text(), allocated);
    QCOMPARE(Screen().AvailableField()->text(), available);
    QCOMPARE(Screen().Pie()->Position(), percent);
    QCOMPARE(Screen().RateLabel()->text(), QString::number(percent) + "%");
    QVERIFY2(!HasNote(U("网络连接不存在或者未连接上服务器!"), 2), qPrintable(DescribeNotes()));
  }

  void openingShowsTheSettings() {
    TSettings s = Info().Settings();
    s.IsAutoRun = true;
    s.IsSavedUserInfo = true;
    s.CacheFolder = "/somewhere/cache";
    s.WarningSpace = 12345;
    s.Pacing = TPacing::Standard;
    Info().SetSettings(s);
    Screen().Opening();
    QVERIFY(Screen().AutoRunBox()->isChecked());
    QVERIFY(Screen().SaveUserBox()->isChecked());
    QCOMPARE(Screen().FolderField()->text(), QString("/somewhere/cache"));
    QCOMPARE(Screen().WarningField()->value(), 12345);
    QCOMPARE(Screen().WarningField()->text(), QString("12,345"));
    QCOMPARE(Screen().PacingBox()->currentText(), U("标准"));

    s.IsAutoRun = false;
    s.WarningSpace = 250000;  // beyond what the field takes
    s.Pacing = TPacing::Fast;
    Info().SetSettings(s);
    Screen().Opening();
    QVERIFY(!Screen().AutoRunBox()->isChecked());
    QCOMPARE(Screen().WarningField()->value(), TForm_Tool_Option::kMaxWarningSpace);
    QCOMPARE(Screen().WarningField()->text(), QString("100,000"));
    QCOMPARE(Screen().PacingBox()->currentText(), U("快速"));
  }

  void missingFolderIsCreatedWithParentsThenSaved() {
    Screen().Opening();
    const std::string folder = m_env->Scratch() + "/new/deeper/cache";
    QVERIFY(!fs::exists(m_env->Scratch() + "/new"));
    Screen().FolderField()->setText(QString::fromStdString(folder));
    Confirm();
    QVERIFY(fs::is_directory(folder));
    QCOMPARE(Saved().CacheFolder, folder);
    QCOMPARE(Info().CacheFolder(), folder);
    QVERIFY(HasNote(U("选项信息修改成功!"), 0));
  }

  void folderThatCannotBeCreatedStopsTheSaving() {
    Screen().Opening();
    Screen().show();
    QVERIFY(QTest::qWaitForWindowActive(&Screen()));
    const std::string file = m_env->Scratch() + "/plain-file";
    fs::create_directories(m_env->Scratch());
    std::ofstream(file) << "x";
    Screen().FolderField()->setText(QString::fromStdString(file + "/cache"));
    Screen().WarningField()->setValue(77);
    Screen().OkButton()->setFocus();
    Confirm();
    QVERIFY2(HasNote(U("创建文件路径失败"), 2), qPrintable(DescribeNotes()));
    QVERIFY(!HasNote(U("选项信息修改成功!"), 0));
    QVERIFY(Screen().FolderField()->hasFocus());
    QCOMPARE(Saved().WarningSpace, std::int64_t(0));
  }

  void folderWithoutFullPathOffersTheDefault() {
    Screen().Opening();
    Screen().FolderField()->setText("relative/cache");
    Confirm();
    QVERIFY2(HasNote(U("无法指定文件夹：relative/cache"), 2), qPrintable(DescribeNotes()));
    const std::string programFolder = fs::path(Info().ProgramFile()).parent_path().string();
    QCOMPARE(Screen().FolderField()->text(), QString::fromStdString(programFolder + "/temp"));
    QVERIFY(!fs::exists("relative"));
    QVERIFY(!HasNote(U("选项信息修改成功!"), 0));
    QCOMPARE(Saved().CacheFolder, programFolder + "/temp");  // the default: nothing saved
    QVERIFY(Info().CacheFolder() != programFolder + "/temp");
  }

  void autoRunOnWritesTheEntryOffRemovesIt() {
    Screen().Opening();
    Screen().AutoRunBox()->setChecked(true);
    Confirm();
    QVERIFY(Saved().IsAutoRun);
    std::ifstream entry(AutoRunEntry());
    QVERIFY(entry.good());
    const std::string text((std::istreambuf_iterator<char>(entry)), {});
    QVERIFY2(text.find("Exec=" + DesktopExecValue(Info().ProgramFile())) != std::string::npos,
             text.c_str());

    Screen().AutoRunBox()->setChecked(false);
    Confirm();
    QVERIFY(!Saved().IsAutoRun);
    QVERIFY(!fs::exists(AutoRunEntry()));
  }

  void pacingChoiceIsSaved() {
    Screen().Opening();
    QCOMPARE(Screen().PacingBox()->count(), 2);
    Screen().PacingBox()->setCurrentText(U("标准"));
    Confirm();
    QCOMPARE(Saved().Pacing, TPacing::Standard);
    QCOMPARE(Info().Pacing(), TPacing::Standard);

    Screen().PacingBox()->setCurrentText(U("快速"));
    Confirm();
    QCOMPARE(Saved().Pacing, TPacing::Fast);
    QCOMPARE(Info().Pacing(), TPacing::Fast);
  }

  void typedWarningWithSeparatorsIsTaken() {
    Screen().Opening();
    QSpinBox* field = Screen().WarningField();
    field->selectAll();
    QTest::keyClicks(field, "54,321");
    Confirm();
    QCOMPARE(Saved().WarningSpace, std::int64_t(54321));
    field->setValue(999999);
    QCOMPARE(field->value(), TForm_Tool_Option::kMaxWarningSpace);
  }

  void failedSavingIsNotReportedAsSuccess() {
    Screen().Opening();
    m_env->Registry().SetUnavailable(true);
    Confirm();
    m_env->Registry().SetUnavailable(false);
    QVERIFY2(HasNote(U("选项信息保存失败!"), 2), qPrintable(DescribeNotes()));
    QVERIFY(!HasNote(U("选项信息修改成功!"), 0));
  }
};

QTEST_MAIN(OptionsTest)
#include "OptionsTest.moc"
