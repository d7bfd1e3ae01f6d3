#include "ui/restore/RestoreStart.h"

#include <QString>

#include "client/Unit_PublicInfo.h"
#include "platform/INoteSink.h"
#include "ui/shell/QorWithUIMsnMsg.h"

namespace solvane {

namespace {

QString U(const char* text) { return QString::fromUtf8(text); }

// The note of a refused order.
QString RefusalText(const TRestoreMade& made) {
  const QString path = QString::fromStdString(made.Path);
  switch (made.Refusal) {
    case TRestoreRefusal::Empty:
      return U("恢复目标为空!");
    case TRestoreRefusal::TwoVersions:
      return U("多个恢复对象将写入同一个本地文件,请只选择其中一个:") + path;
    case TRestoreRefusal::NotThisPlatform:
      return U("原始路径不是本机可用的路径,请重新指定恢复路径:") + path;
    case TRestoreRefusal::NoTaskID:
    case TRestoreRefusal::None:
      break;
  }
  return U("保存恢复任务失败!");
}

}  // namespace

std::vector<TTaskObjectPtr> StartRestores(TPublicInfo& info, const std::vector<TRestoreOrder>& orders) {
  std::vector<TTaskObjectPtr> started;
  if (orders.empty()) return started;
  // The checks of every order first: either all start or none.
  for (const TRestoreOrder& order : orders) {
    const TRestoreMade made = CreateRestoreTask(info, order);
    if (!made.Task) {
      ShowNote(RefusalText(made), kNoteError);
      return started;
    }
  }
  for (const TRestoreOrder& order : orders) {
    // Made again now, each right before it is added: every task gets its
    // own ID.
    const TRestoreMade made = CreateRestoreTask(info, order);
    if (!made.Task) {
      ShowNote(RefusalText(made), kNoteError);
      break;
    }
    info.SetSharedParam("ParentFolder", made.Task->RestoreInfo.ParentFolder);
    const std::int32_t id = made.Task->TaskID;
    started.push_back(made.Task);
    const QString idText = QString::number(id);
    if (AddAndStartRestore(info, made.Task))
      ShowNote(U("任务") + idText + U("已启动,请到执行区查看详情..."), kNoteInformation);
    else
      ShowNote(U("启动任务") + idText + U("失败!"), kNoteError);
  }
  return started;
}

}  // namespace solvane
