// "邮 件 备 份" against a real server and a Foxmail store written to disk and
// named in the environment's registry: the type list, the folder tree and
// message list with their ticks, what a selection sends, a one-off run whose
// messages reach the server's mail store, and saving as a named task.

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

#include "MailStoreFixture.h"
#include "ModalAnswers.h"
#include "NoteCheck.h"
#include "UiTestSupport.h"
#include "api/BrowseApi.h"
#include "client/MailSelection.h"
#include "client/Unit_Login.h"
#include "client/Unit_PublicInfo.h"
#include "engine/TaskEngine.h"
#include "mail/QorWithMCDefine.h"
#include "tasks/TTaskObject_MC.h"
#include "ui/backup/MailPicker.h"
#include "ui/backup/TForm_BR_MCBackup.h"
#include "ui/backup/TForm_BR_TaskList_MCBackup.h"
#include "ui/backup/TForm_BR_TaskSetting.h"
#include "ui/shell/UiShell.h"

using namespace solvane;
using namespace solvane::testing;

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

constexpr std::int64_t kSentID = 1003;  // "已发送邮件箱" of the account
constexpr int kInboxCount = 5;
constexpr int kSentCount = 3;

}  // namespace

class MailBackupTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<TUiTestEnv> m_env;
  std::unique_ptr<TMailStores> m_stores;
  std::unique_ptr<TUiShell> m_shell;
  std::unique_ptr<QWidget> m_panel;
  TForm_BR_MCBackup* m_screen = nullptr;

  TPublicInfo& Info() { return m_env->Info(); }
  TMailPicker& Picker() { return *m_screen->Picker(); }
  QTreeWidget* Tree() { return Picker().Tree(); }
  QTreeWidget* List() { return Picker().List(); }

  void WriteSentBox() {
    std::vector<test::TFoxmailMessageSpec> sent;
    for (int n = 1; n <= kSentCount; ++n)
      sent.push_back({MessageText(50 + n), "me@example.org", "sent " + std::to_string(n)});
    const test::TFoxmailMailbox box = test::MakeFoxmailMailbox(sent);
    const std::string dir = m_stores->FoxmailDir() + "/mail/ann/";
    std::ofstream(dir + "sent.box", std::ios::binary) << box.Box;
    std::ofstream(dir + "sent.ind", std::ios::binary) << box.Index;
  }

  // Shows folder id's messages in the list.
  bool ShowFolder(std::int64_t id) {
    QTreeWidgetItem* node = Picker().FolderNode(id);
    if (!node) return false;
    Tree()->setCurrentItem(node);
    return Picker().ListedFolder() == id;
  }
  void TickRow(int row, bool on = true) {
    List()->topLevelItem(row)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
  }
  void TickNode(std::int64_t id, bool on = true) {
    Picker().FolderNode(id)->setCheckState(0, on ? Qt::Checked : Qt::Unchecked);
  }
  QList<Qt::CheckState> RowMarks() {
    QList<Qt::CheckState> marks;
    for (int i = 0; i < List()->topLevelItemCount(); ++i)
      marks << List()->topLevelItem(i)->checkState(0);
    return marks;
  }
  std::int64_t RowMessage(int row) {
    return List()->topLevelItem(row)->data(0, Qt::UserRole).toLongLong();
  }

  // Saves the sent box whole and inbox messages 0 and 2 as a named task
  // through the screen; its TaskID, -1 on failure.
  std::int32_t SaveSampleTask() {
    TickNode(kSentID);
    if (!ShowFolder(kFoxInboxID)) return -1;
    TickRow(0);
    TickRow(2);
    auto dialog = OnNextModal([](QWidget* modal) {
      auto* d = qobject_cast<TForm_BR_TaskSetting*>(modal);
      d->NameField()->setText(U("每日邮件"));
      d->SaveButton()->click();
    });
    m_screen->SaveAsTaskButton()->click();
    if (!dialog->Seen || !HasNote(U("保存任务信息成功!"), 0)) return -1;
    CloseAllNotes();
    return Info().Tasks().Snapshot().at(0)->TaskID;
  }
  static QList<Qt::CheckState> Marks(QTreeWidget* list) {
    QList<Qt::CheckState> marks;
    for (int i = 0; i < list->topLevelItemCount(); ++i) marks << list->topLevelItem(i)->checkState(0);
    return marks;
  }
  bool ReaderHasTicks() { return !CopyMailSelection(Info(), kMCKindFoxmail).Empty(); }

 private slots:
  void init() {
    m_env = std::make_unique<TUiTestEnv>();
    QVERIFY(m_env->Started());
    m_stores = std::make_unique<TMailStores>();
    m_stores->WriteFoxmail(FoxmailMessages(kInboxCount));
    WriteSentBox();
    if (QByteArray(QTest::currentTestFunction()) != "storeFolderIsNamedInTheRegistry")
      m_stores->RegisterFoxmail(m_env->Registry());
    m_shell = std::make_unique<TUiShell>(Info());
    m_panel = std::make_unique<QWidget>();
    m_panel->resize(900, 600);
    m_shell->SetContentPanel(m_panel.get());
    m_screen = m_shell->Screens().Embed<TForm_BR_MCBackup>(m_panel.get(), false);
    m_panel->show();
  }
  void cleanup() {
    CloseAllNotes();
    m_shell->Screens().Clear();
    m_panel.reset();
    m_shell.reset();
    m_env.reset();
    m_stores.reset();
  }

  // Foxmail is the first installed client: chosen on showing without a
  // note; the tree has the "邮件数据" root, the account and its mailboxes.
  void showingPicksTheInstalledClientAndDrawsTheTree() {
    QCOMPARE(Picker().TypeBox()->currentText(), U("Foxmail 邮件"));
    QCOMPARE(Picker().TypeBox()->itemText(0), U("Outlook 邮件"));
    QVERIFY2(OpenNotes().isEmpty(), qPrintable(DescribeNotes()));
    QCOMPARE(Tree()->topLevelItemCount(), 1);
    QTreeWidgetItem* root = Tree()->topLevelItem(0);
    QCOMPARE(root->text(0), U("邮件数据"));
    QCOMPARE(root->data(0, Qt::UserRole + 1).toInt(), 0);
    QTreeWidgetItem* account = root->child(0);
    QCOMPARE(account->text(0), QString("ann"));
    QCOMPARE(account->data(0, Qt::UserRole + 1).toInt(), 1);
    QCOMPARE(account->childCount(), 5);
    QCOMPARE(account->child(0)->text(0), U("收件箱"));
    QCOMPARE(account->child(0)->data(0, Qt::UserRole + 1).toInt(), 2);
    QVERIFY(root->isExpanded() && account->isExpanded());

    QVERIFY(ShowFolder(kFoxInboxID));
    QCOMPARE(List()->topLevelItemCount(), kInboxCount);
    QCOMPARE(List()->topLevelItem(0)->text(0), QString("sender1@example.org"));
    QCOMPARE(List()->topLevelItem(0)->text(1), QString("note 1"));
    QVERIFY(List()->topLevelItem(0)->text(2).startsWith("20"));
    QCOMPARE(List()->headerItem()->text(3), U("大小"));
    // Space ticks the current row.
    List()->setCurrentItem(List()->topLevelItem(4));
    QTest::keyClick(List(), Qt::Key_Space);
    QCOMPARE(List()->topLevelItem(4)->checkState(0), Qt::Checked);
    QCOMPARE(MailMessageRecords(Picker().Selection()).size(), 1u);
  }

  // Outlook never is installed here: its note, and nothing of Foxmail's
  // stays on show or selected. Back on Foxmail every tick is gone.
  void typeChangeRefillsAndClears() {
    TickNode(kFoxInboxID);
    QVERIFY(Picker().HasSelection());
    QVERIFY(!Picker().ChooseKind(kMCKindOutlook));
    QVERIFY2(HasNote(U("未安装Outlook!"), 2), qPrintable(DescribeNotes()));
    QCOMPARE(Tree()->topLevelItemCount(), 0);
    QCOMPARE(List()->topLevelItemCount(), 0);
    QVERIFY(!Picker().HasSelection());
    QVERIFY(!Picker().StoreButton()->isEnabled());

    QVERIFY(!Picker().ChooseKind(kMCKindOutlookExpress));
    QVERIFY(HasNote(U("未安装OutlookExpress!"), 2));

    QVERIFY(!Picker().FolderNode(kFoxInboxID));
    QVERIFY(Picker().ChooseKind(kMCKindFoxmail));
    QCOMPARE(Picker().FolderNode(kFoxInboxID)->checkState(0), Qt::Unchecked);
    QVERIFY(!Picker().HasSelection());
  }

  // With nothing in the registry the user names the store folder: the
  // value is written as the reader reads it and the tree appears.
  void storeFolderIsNamedInTheRegistry() {
    QCOMPARE(Picker().TypeBox()->currentText(), U("Foxmail 邮件"));
    QVERIFY2(OpenNotes().isEmpty(), qPrintable(DescribeNotes()));
    QCOMPARE(Tree()->topLevelItemCount(), 0);
    QVERIFY(Picker().UseStoreFolder(QString::fromStdString(m_stores->FoxmailDir())));
    const auto value = m_env->Registry().ReadString(
        TRegistryRoot::CurrentUser, "\\Software\\Aerofox\\Foxmail\\V3.1", "FoxMailPath");
    QVERIFY(value);
    QCOMPARE(QString::fromStdString(*value),
             QString::fromStdString(m_stores->FoxmailDir() + "/Foxmail.exe"));
    QVERIFY(Picker().FolderNode(kFoxInboxID));
    // A folder without a store: no folders are left on show.
    Picker().UseStoreFolder("/nonexistent/solvane-mail");
    QVERIFY(!Picker().FolderNode(kFoxInboxID));
  }

  // What the ticks send: folder records (whole or holding single messages)
  // and message records for single messages only.
  void ticksMakeTheRecords_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("folders");
    QTest::addColumn<int>("wholeFolders");
    QTest::addColumn<int>("messages");
    QTest::newRow("three messages") << "r0 r1 r2" << 1 << 0 << 3;
    QTest::newRow("whole inbox") << "n+" << 1 << 1 << 0;
    QTest::newRow("tick then untick") << "n+ n-" << 0 << 0 << 0;
    QTest::newRow("messages, folder ticked and unticked") << "r0 r1 n+ n-" << 0 << 0 << 0;
    QTest::newRow("whole inbox less one message") << "n+ r0-" << 1 << 0 << kInboxCount - 1;
    QTest::newRow("account ticks every mailbox") << "a+" << 5 << 5 << 0;
    QTest::newRow("account unticked clears all") << "r0 a+ a-" << 0 << 0 << 0;
  }
  void ticksMakeTheRecords() {
    QFETCH(QString, steps);
    QFETCH(int, folders);
    QFETCH(int, wholeFolders);
    QFETCH(int, messages);
    QVERIFY(ShowFolder(kFoxInboxID));
    for (const QString& step : steps.split(' ')) {
      if (step.startsWith('r')) TickRow(step.mid(1, 1).toInt(), !step.endsWith('-'));
      if (step.startsWith('n')) TickNode(kFoxInboxID, step.endsWith('+'));
      if (step.startsWith('a'))
        Picker().FolderNode(kFoxAccountID)->setCheckState(
            0, step.endsWith('+') ? Qt::Checked : Qt::Unchecked);
    }
    const TMailSelection selection = Picker().Selection();
    const auto records = MailFolderRecords(selection);
    QCOMPARE(int(records.size()), folders);
    int whole = 0;
    for (const auto& r : records) whole += r.IsSelected ? 1 : 0;
    QCOMPARE(whole, wholeFolders);
    QCOMPARE(int(MailMessageRecords(selection).size()), messages);
    if (!records.empty()) QCOMPARE(records[0].MCKind, 0);
    // The marks tell the same: whole, partly, none.
    const Qt::CheckState mark = Picker().FolderNode(kFoxInboxID)->checkState(0);
    if (wholeFolders) QCOMPARE(mark, Qt::Checked);
    else if (messages) QCOMPARE(mark, Qt::PartiallyChecked);
    else QCOMPARE(mark, Qt::Unchecked);
  }

  // A folder ticked while the list shows another leaves the listed
  // folder's rows and ticks alone.
  void tickingAnotherFolderLeavesTheListedOne() {
    QVERIFY(ShowFolder(kFoxInboxID));
    TickRow(1);
    TickNode(kSentID);
    QCOMPARE(RowMarks(), (QList<Qt::CheckState>{Qt::Unchecked, Qt::Checked, Qt::Unchecked,
                                                Qt::Unchecked, Qt::Unchecked}));
    const TMailSelection selection = Picker().Selection();
    QCOMPARE(selection.Folders.size(), 2u);
    QCOMPARE(MailMessageRecords(selection).size(), 1u);
    // The sent box, ticked before its messages were read, shows them ticked.
    QVERIFY(ShowFolder(kSentID));
    QCOMPARE(RowMarks(), (QList<Qt::CheckState>{Qt::Checked, Qt::Checked, Qt::Checked}));
    QVERIFY(ShowFolder(kFoxInboxID));
    // Ticking the listed folder ticks its rows; unticking clears them.
    TickNode(kFoxInboxID);
    QVERIFY(!RowMarks().contains(Qt::Unchecked));
    TickNode(kFoxInboxID, false);
    QVERIFY(!RowMarks().contains(Qt::Checked));
  }

  void runNowWithoutTicksSaysSo() {
    m_screen->RunNowButton()->click();
    QVERIFY2(HasNote(U("没有选中任何邮件对象!"), 2), qPrintable(DescribeNotes()));
    m_screen->SaveAsTaskButton()->click();
    QCOMPARE(Info().Tasks().Count(), 0u);
  }

  // Exactly the two chosen messages reach the server's mail store.
  void runNowStoresExactlyTheChosenMessages() {
    QVERIFY(Login(Info()));
    QVERIFY(ShowFolder(kFoxInboxID));
    TickRow(1);
    TickRow(3);
    const std::vector<std::string> expected = {"1001-" + std::to_string(RowMessage(1)) + ".eml",
                                               "1001-" + std::to_string(RowMessage(3)) + ".eml"};
    m_screen->RunNowButton()->click();
    QCOMPARE(Info().Tasks().Count(), 1u);
    const auto task = Info().Tasks().Snapshot().at(0);
    QVERIFY2(HasNote(U("任务") + QString::number(task->TaskID) + U("已启动,请到执行区查看详情..."), 0),
             qPrintable(DescribeNotes()));
    QVERIFY(task->IsTemporary);
    QCOMPARE(QString::fromStdString(task->TaskName),
             U("临时任务") + QString::number(task->TaskID));
    QVERIFY(!Picker().HasSelection());
    QVERIFY(!RowMarks().contains(Qt::Checked));
    QTRY_VERIFY_WITH_TIMEOUT(task->State() == kStateTerminated, 20000);
    QCOMPARE(task->PostBag.Counters().FileDoneCount, 2);
    const auto stored = api::BrowerShowMCObjectMessage(Info().Pool(), Info().UserCode(), "Foxmail",
                                                       kFoxInboxID);
    QVERIFY(stored);
    std::vector<std::string> names;
    for (const auto& m : stored.value) names.push_back(m.Entry.ObjectName);
    std::sort(names.begin(), names.end());
    QCOMPARE(names, expected);
  }

  // A whole mailbox and two messages of another become a named task that
  // comes back from the server with the same ticks.
  void saveAsTaskSendsTheTicksAndTheyComeBack() {
    QVERIFY(Login(Info()));
    Info().Engine().SetEngineActive(false);  // no reload or run in between
    TickNode(kSentID);
    QVERIFY(ShowFolder(kFoxInboxID));
    TickRow(0);
    TickRow(2);
    const std::int64_t first = RowMessage(0), third = RowMessage(2);
    auto dialog = OnNextModal([](QWidget* modal) {
      auto* d = qobject_cast<TForm_BR_TaskSetting*>(modal);
      QVERIFY(d);
      QCOMPARE(d->TaskKind(), 500);
      d->NameField()->setText(U("每日邮件"));
      d->SaveButton()->click();
    });
    m_screen->SaveAsTaskButton()->click();
    QVERIFY(dialog->Seen);
    QVERIFY2(HasNote(U("保存任务信息成功!"), 0), qPrintable(DescribeNotes()));
    QVERIFY(!Picker().HasSelection());
    QCOMPARE(Info().Tasks().Count(), 1u);
    const std::int32_t id = Info().Tasks().Snapshot().at(0)->TaskID;

    QVERIFY(Info().Tasks().LoadFromServer(Info()));
    const auto back = Info().Tasks().FindTask(id);
    QVERIFY(back);
    auto lock = back->Lock();
    QCOMPARE(back->TaskName, std::string("每日邮件"));
    QCOMPARE(int(back->MCInfo.MCKind), 0);
    QCOMPARE(back->MCInfo.MCFolders.size(), 2u);
    const TQorMCFolderObject* inbox = nullptr;
    const TQorMCFolderObject* sent = nullptr;
    for (const auto& f : back->MCInfo.MCFolders)
      (f->FolderID == kFoxInboxID ? inbox : sent) = f.get();
    QVERIFY(inbox && sent);
    QCOMPARE(sent->FolderID, kSentID);
    QVERIFY(sent->IsSelected);
    QVERIFY(!inbox->IsSelected);
    QCOMPARE(inbox->Messages.Count(), 2u);
    QCOMPARE(inbox->Messages[0].MessageID, first);
    QCOMPARE(inbox->Messages[1].MessageID, third);
  }

  // A refused save keeps the ticks for another try; nothing joins the list.
  void failedSaveKeepsTheTicks() {
    QVERIFY(Login(Info()));
    TickNode(kFoxInboxID);
    m_env->Server().Stop();
    auto dialog = OnNextModal([](QWidget* modal) {
      auto* d = qobject_cast<TForm_BR_TaskSetting*>(modal);
      d->NameField()->setText("n");
      d->SaveButton()->click();
    });
    m_screen->SaveAsTaskButton()->click();
    QVERIFY(dialog->Seen);
    QVERIFY2(HasNote(U("保存邮件任务信息失败!"), 2), qPrintable(DescribeNotes()));
    QCOMPARE(Info().Tasks().Count(), 0u);
    QVERIFY(Picker().HasSelection());
    QCOMPARE(Picker().FolderNode(kFoxInboxID)->checkState(0), Qt::Checked);
    QVERIFY(m_screen->SaveAsTaskButton()->isEnabled());
  }

  // The property dialog shows the saved ticks; a changed choice is sent
  // and comes back from the server; closing takes the ticks off the reader.
  void dialogShowsTheSavedTicksAndSendsChanges() {
    QVERIFY(Login(Info()));
    Info().Engine().SetEngineActive(false);
    const std::int32_t id = SaveSampleTask();
    QVERIFY(id > 0);
    QVERIFY(!ReaderHasTicks());
    auto* dialog = new TForm_BR_TaskList_MCBackup(*m_shell, id, m_panel.get());
    QPointer<QDialog> guard(dialog);
    dialog->show();
    QVERIFY(dialog->Loaded());
    QCOMPARE(dialog->windowTitle(), U("邮件备份"));
    QCOMPARE(dialog->NameBox()->text(), U("每日邮件"));
    TMailPicker* picker = dialog->Picker();
    QVERIFY(!picker->TypeBox()->isEnabled());
    QCOMPARE(picker->TypeBox()->currentText(), U("Foxmail 邮件"));
    QCOMPARE(picker->FolderNode(kSentID)->checkState(0), Qt::Checked);
    QCOMPARE(picker->FolderNode(kFoxInboxID)->checkState(0), Qt::PartiallyChecked);
    picker->Tree()->setCurrentItem(picker->FolderNode(kFoxInboxID));
    QCOMPARE(Marks(picker->List()), (QList<Qt::CheckState>{Qt::Checked, Qt::Unchecked, Qt::Checked,
                                                           Qt::Unchecked, Qt::Unchecked}));
    picker->FolderNode(kSentID)->setCheckState(0, Qt::Unchecked);
    dialog->NameBox()->setText(U("收件"));
    dialog->OkButton()->click();
    QVERIFY2(HasNote(U("更新任务信息成功!"), 0), qPrintable(DescribeNotes()));
    QTRY_VERIFY(guard.isNull() || !guard->isVisible());
    QVERIFY(!ReaderHasTicks());
    delete guard.data();

    QVERIFY(Info().Tasks().LoadFromServer(Info()));
    const auto back = Info().Tasks().FindTask(id);
    QVERIFY(back);
    auto lock = back->Lock();
    QCOMPARE(back->TaskName, std::string("收件"));
    QCOMPARE(back->MCInfo.MCFolders.size(), 1u);
    QCOMPARE(back->MCInfo.MCFolders[0]->FolderID, kFoxInboxID);
    QCOMPARE(back->MCInfo.MCFolders[0]->Messages.Count(), 2u);
  }

  // "确定" with every tick taken off: the two notes, the dialog stays and
  // the task keeps its content; "取消" then clears the reader.
  void dialogWithoutTicksRefusesAndCancelClears() {
    QVERIFY(Login(Info()));
    Info().Engine().SetEngineActive(false);
    const std::int32_t id = SaveSampleTask();
    QVERIFY(id > 0);
    TForm_BR_TaskList_MCBackup dialog(*m_shell, id, m_panel.get());
    dialog.show();
    QVERIFY(ReaderHasTicks());
    dialog.Picker()->ClearSelection();
    dialog.OkButton()->click();
    QVERIFY2(HasNote(U("没有选中任何邮件对象!"), 2), qPrintable(DescribeNotes()));
    QVERIFY(HasNote(U("更新任务信息失败1"), 2));
    QVERIFY(dialog.isVisible());
    {
      auto task = Info().Tasks().FindTask(id);
      auto lock = task->Lock();
      QCOMPARE(task->MCInfo.MCFolders.size(), 2u);
    }
    CloseAllNotes();

    // Ticks put back by opening again, then "取消".
    TForm_BR_TaskList_MCBackup again(*m_shell, id, m_panel.get());
    again.show();
    QVERIFY(ReaderHasTicks());
    again.CancelButton()->click();
    QVERIFY(!again.isVisible());
    QVERIFY(!ReaderHasTicks());
    dialog.NameBox()->clear();
    dialog.OkButton()->click();
    QVERIFY(HasNote(U("任务名称不能为空"), 2));
  }
};

QTEST_MAIN(MailBackupTest)
#include "MailBackupTest.moc"
