// File transfers: TUpDown.Check (does the store need this file, and from
// which byte), TUpDown.UpLoad and TUpDown.DownLoad (one segment per call),
// and TUpDown.FolderCheck (a sync folder's listing). CheckFiles, UpLoadFiles
// and DownLoadFiles do the same for many small files in one round trip.

#include <iostream>
#include <memory>
#include <optional>
#include <vector>

#include "handlers/MailStore.h"
#include "handlers/Operations.h"
#include "handlers/RecordRequests.h"
#include "storage/RunLogStore.h"
#include "handlers/ShareAccess.h"
#include "handlers/StorePath.h"
#include "storage/RunStore.h"
#include "protocol/Dispatcher.h"
#include "wire/QorWithText.h"

namespace solvane::server {

namespace {

constexpr std::int64_t kMaxObjectSize = std::int64_t{1} << 42;  // 4 TiB
// The client reads the resume position as a 32-bit number: the last segment
// start below 2^31.
constexpr std::int64_t kMaxResumePosition = 2147221504;
constexpr std::size_t kMaxCargoBytes = 65536;

struct TFileFields {
  TStoreRef store;
  std::string folder;
  std::string name;
  std::int64_t size = 0;
  std::int64_t objectDate = 0;
};

bool ReadSizeAndDate(TRequestContext& ctx, TFileFields& f);

bool ReadFileFields(TRequestContext& ctx, StoreAccess access, TFileFields& f) {
  if (IsShareTransfer(ctx))
    return ReadShareTransfer(ctx, access, f.store, f.folder, f.name) && ReadSizeAndDate(ctx, f);
  auto store = ResolveStore(ctx, access);
  if (!store) return false;
  f.store = *store;
  if (!ReadFilePath(ctx, "ObjectFolder", "ObjectName", f.folder, f.name)) return false;
  if (f.store.kind == kMailStore && !ReadMailStoreFolder(ctx, MailPathUse::kUpload, f.folder))
    return false;
  return ReadSizeAndDate(ctx, f);
}

bool ReadSizeAndDate(TRequestContext& ctx, TFileFields& f) {
  if (!ctx.RequireInt("ObjectSize", f.size) || !ctx.RequireInt("ObjectDate", f.objectDate))
    return false;
  if (f.size < 0 || f.size > kMaxObjectSize)
    return ctx.Fail(kErrBadRequest, "ObjectSize is out of range");
  // 0 is what the client sends for a last-write time the packed form cannot
  // hold (before 1980): such a file is still backed up.
  if (!NormaliseDosDateTime(f.objectDate) || (f.objectDate != 0 && !IsPackedDateTime(f.objectDate)))
    return ctx.Fail(kErrBadRequest, "ObjectDate is not a packed date-time");
  return true;
}

// Adds the object to the run named by the request's TaskID and SessionID; a
// request without a SessionID (the check of an empty file) logs into the
// latest run of the task. The transfer itself succeeds all the same, so a
// failure here is reported on the console and not to the client.
void LogInRun(TRequestContext& ctx, const TFileFields& f, std::int64_t size, int direction) {
  std::int64_t taskId = 0, sessionId = 0;
  if (!ParseInt64(ctx.Str("TaskID"), taskId)) return;
  if (!ParseInt64(ctx.Str("SessionID"), sessionId)) {
    auto task = NormaliseTaskId(taskId);
    if (!task) return;
    auto latest = LatestRunSession(ctx.Db(), ctx.UserCode(), *task);
    if (!latest.Ok()) {
      std::cerr << "run log: " << latest.Error() << std::endl;
      return;
    }
    if (!*latest) return;
    sessionId = **latest;
  }
  auto recorded =
      RecordRunObject(ctx.Db(), ctx.UserCode(), taskId, sessionId,
                      TRunObject{f.store.kind, f.folder, f.name, size, f.objectDate, direction});
  if (!recorded.Ok()) std::cerr << "run log: " << recorded.Error() << std::endl;
}

bool FailUpload(TRequestContext& ctx, UploadOutcome outcome) {
  switch (outcome) {
    case UploadOutcome::kBeyondStaged:
      return ctx.Fail(kErrConflict, "Source_Offset lies past the bytes received so far");
    case UploadOutcome::kBeyondSize:
      return ctx.Fail(kErrBadRequest, "the segment runs past ObjectSize");
    case UploadOutcome::kQuotaExceeded:
      return ctx.Fail(kErrQuotaExceeded, "the file does not fit into the user's space");
    case UploadOutcome::kIoError:
      return ctx.Fail(kErrStorage, "the server could not store the file");
    case UploadOutcome::kTwiceInOneRequest:
      return ctx.Fail(kErrConflict, "the request names this file twice: send it on its own");
    case UploadOutcome::kStaged:
    case UploadOutcome::kStored:
      break;
  }
  return true;
}

// False (and the failure set) when a version of `bytes` would not fit into
// the user's space, or the space cannot be looked up.
bool FitsIntoSpace(TRequestContext& ctx, TFileStore& files, const std::string& user,
                   std::int64_t bytes) {
  auto exceeds = files.WouldExceedQuota(user, bytes);
  if (!exceeds.Ok()) return ctx.FailStorage(exceeds.Error());
  if (*exceeds) return FailUpload(ctx, UploadOutcome::kQuotaExceeded);
  return true;
}

// An unchanged file costs one indexed lookup: no space check, no transaction.
void Check(TRequestContext& ctx) {
  TFileFields f;
  if (!ReadFileFields(ctx, StoreAccess::kWrite, f)) return;
  TFileStore files = FileStoreOf(ctx);
  auto found = files.NewestFile(f.store, f.folder, f.name);
  if (!found.Ok()) return (void)ctx.FailStorage(found.Error());
  const std::optional<TNewestFile>& newest = *found;
  std::int64_t action = 1, position = 0;
  // A mail message whose description changed is sent again.
  if (newest && newest->version.size == f.size && newest->version.objectDate == f.objectDate &&
      (f.store.kind != kMailStore || newest->cargo2 == ctx.Str("ObjectCargo2"))) {
    action = 0;
  } else if (!FitsIntoSpace(ctx, files, f.store.user, f.size)) {
    return;
  } else if (f.size == 0) {
    // The client sends no segment for an empty file and counts it done after
    // this answer, so its version is stored now.
    TUploadSegment empty{f.store, f.folder, f.name, 0, f.objectDate, 0, {}};
    if (f.store.kind == kMailStore) {  // checked by ReadMailStoreFolder
      empty.objectData = ctx.Int("ObjectData");
      empty.cargo = ctx.Str("ObjectCargo");
      empty.cargo2 = ctx.Str("ObjectCargo2");
    }
    empty.onStored = [&] { LogInRun(ctx, f, 0, 0); };
    if (!FailUpload(ctx, files.Upload(empty))) return;
  } else if (f.store.kind != kMailStore) {
    // (A mail message is always sent from its first byte: every message
    // carries the same date, so staged bytes of its name and size may be
    // another message's.)
    position = std::min(files.ResumePosition(f.store, f.folder, f.name, f.size, f.objectDate),
                        kMaxResumePosition);
  }
  ctx.Reply().AddInteger(1, "Action", action);
  ctx.Reply().AddInteger(1, "refPosition", position);
  ctx.Reply().AddInteger(1, "refVerifyValue", 0);
}

// The segment an upload request writes, checked; nullopt with the failure
// set otherwise. The run log is written in the transaction that stores the
// version, through f, which must outlive the upload.
std::optional<TUploadSegment> ReadUpload(TRequestContext& ctx, TFileFields& f) {
  if (!ReadFileFields(ctx, StoreAccess::kWrite, f)) return std::nullopt;
  std::int64_t offset = 0, length = 0;
  if (!ctx.RequireInt("Source_Offset", offset) || !ctx.RequireInt("Source_Size", length))
    return std::nullopt;
  if (offset < 0 || length < 0 || static_cast<std::size_t>(length) != ctx.ExtraIn().size()) {
    ctx.Fail(kErrBadRequest, "Source_Size does not match the data sent");
    return std::nullopt;
  }
  if (length == 0 && f.size > 0) {
    ctx.Fail(kErrBadRequest, "a segment without data");
    return std::nullopt;
  }
  TUploadSegment segment{f.store, f.folder, f.name, f.size, f.objectDate, offset, ctx.ExtraIn()};
  segment.objectData = ctx.Int("ObjectData");
  segment.cargo = ctx.Str("ObjectCargo");
  segment.cargo2 = ctx.Str("ObjectCargo2");
  if (segment.cargo.size() > kMaxCargoBytes || segment.cargo2.size() > kMaxCargoBytes) {
    ctx.Fail(kErrBadRequest, "ObjectCargo is too long");
    return std::nullopt;
  }
  // A file that comes whole has its space checked with its version, in the
  // batch that stores it; the first of several segments is checked before
  // anything is staged.
  if (offset == 0 && !segment.IsWhole()) {
    TFileStore files = FileStoreOf(ctx);
    if (!FitsIntoSpace(ctx, files, f.store.user, f.size)) return std::nullopt;
  }
  segment.onStored = [&ctx, &f] { LogInRun(ctx, f, f.size, 0); };
  return segment;
}

void UpLoad(TRequestContext& ctx) {
  TFileFields f;
  auto segment = ReadUpload(ctx, f);
  if (segment) FailUpload(ctx, FileStoreOf(ctx).Upload(*segment));
}

// ---- Many files in one request ----

// Record set n: the fields of TUpDown.Check. Reply record set n: ErrNo,
// ErrMsg and the check's answer.
void CheckFiles(TRequestContext& ctx) {
  if (!CheckRecordCount(ctx)) return;
  for (int n = 1; n <= ctx.RecordSets(); ++n) {
    TRecordRequest one(ctx, n, {});
    TDispatcher::RunHandler(Check, one.Ctx());
    one.Answer(ctx.Reply(), n, {"Action", "refPosition", "refVerifyValue"});
  }
}

// Record set n: the fields of TUpDown.UpLoad; the extra data holds the
// segments one after the other, each Source_Size bytes long. Files the
// segments complete are stored in one commit batch. Reply record set n:
// ErrNo and ErrMsg.
void UpLoadFiles(TRequestContext& ctx) {
  if (!CheckRecordCount(ctx)) return;
  const int count = ctx.RecordSets();
  struct TOne {
    TOne(TRequestContext& whole, int n, std::string_view data) : request(whole, n, data) {}
    TRecordRequest request;
    TFileFields fields;
  };
  std::vector<std::unique_ptr<TOne>> files;
  std::size_t used = 0;
  for (int n = 1; n <= count; ++n) {
    std::int64_t length = 0;
    if (!ctx.RequireInt("Source_Size", length, n)) return;
    if (length < 0 || static_cast<std::uint64_t>(length) > ctx.ExtraIn().size() - used)
      return (void)ctx.Fail(kErrBadRequest, "Source_Size does not match the data sent");
    files.push_back(
        std::make_unique<TOne>(ctx, n, ctx.ExtraIn().substr(used, static_cast<std::size_t>(length))));
    used += static_cast<std::size_t>(length);
  }
  if (used != ctx.ExtraIn().size())
    return (void)ctx.Fail(kErrBadRequest, "Source_Size does not match the data sent");
  std::vector<TUploadSegment> segments;
  std::vector<TOne*> sent;
  for (auto& one : files) {
    auto segment = ReadUpload(one->request.Ctx(), one->fields);
    if (!segment) continue;
    segments.push_back(std::move(*segment));
    sent.push_back(one.get());
  }
  const std::vector<UploadOutcome> outcomes = FileStoreOf(ctx).UploadMany(segments);
  for (std::size_t i = 0; i < sent.size(); ++i) FailUpload(sent[i]->request.Ctx(), outcomes[i]);
  for (int n = 1; n <= count; ++n) files[static_cast<std::size_t>(n - 1)]->request.Answer(ctx.Reply(), n, {});
}

void SendSegment(TRequestContext& ctx, TFileFields& f);

void DownLoad(TRequestContext& ctx) {
  if (IsShareTransfer(ctx)) {
    TFileFields share;
    if (ReadShareTransfer(ctx, StoreAccess::kRead, share.store, share.folder, share.name))
      SendSegment(ctx, share);
    return;
  }
  auto store = ResolveStore(ctx, StoreAccess::kRead);
  if (!store) return;
  TFileFields f;
  f.store = *store;
  if (!ReadFilePath(ctx, "ObjectFolder", "ObjectName", f.folder, f.name)) return;
  if (f.store.kind == kMailStore && !ReadMailStoreFolder(ctx, MailPathUse::kDownload, f.folder))
    return;
  SendSegment(ctx, f);
}

// One segment of the version the request chooses; the last one is logged.
void SendSegment(TRequestContext& ctx, TFileFields& f) {
  std::int64_t order = 0;
  if (!ctx.RequireInt("SegmentOrder", order)) return;
  if (order < 1) return (void)ctx.Fail(kErrBadRequest, "SegmentOrder starts at 1");
  // Size and date only choose among the versions; the listing may have
  // handed the client values it could not read.
  std::int64_t size = ctx.Int("ObjectSize"), date = ctx.Int("ObjectDate");
  if (!NormaliseDosDateTime(date)) date = -1;

  TFileStore files = FileStoreOf(ctx);
  auto chosen = files.VersionForDownload(f.store, f.folder, f.name, size, date);
  if (!chosen.Ok()) return (void)ctx.FailStorage(chosen.Error());
  const std::optional<TVersion>& version = *chosen;
  if (!version) return (void)ctx.Fail(kErrNotFound, "no such file in the store");
  if (!files.ReadSegment(*version, order, ctx.ExtraOut()))
    return (void)ctx.Fail(kErrStorage, "the server could not read the file");
  const std::int64_t end =
      (order - 1) * kSegmentSize + static_cast<std::int64_t>(ctx.ExtraOut().size());
  const bool last =
      !ctx.ExtraOut().empty() ? end == version->size : (order == 1 && version->size == 0);
  f.objectDate = version->objectDate;
  if (last) LogInRun(ctx, f, version->size, 1);
}

// Record set n: the fields of TUpDown.DownLoad. The reply's extra data holds
// the segments one after the other; reply record set n: ErrNo, ErrMsg and
// Source_Size, the length of its segment. Segments that would take the
// reply beyond kMaxDataPerReply are refused, to be
// asked for again.
void DownLoadFiles(TRequestContext& ctx) {
  if (!CheckRecordCount(ctx)) return;
  for (int n = 1; n <= ctx.RecordSets(); ++n) {
    TRecordRequest one(ctx, n, {});
    TDispatcher::RunHandler(DownLoad, one.Ctx());
    std::string& data = one.Ctx().ExtraOut();
    if (!one.Ctx().Failed() && ctx.ExtraOut().size() + data.size() > kMaxDataPerReply)
      one.Ctx().Fail(kErrConflict, "the reply is full: ask for this segment again");
    if (!one.Ctx().Failed()) {
      one.Ctx().Reply().AddInteger(1, "Source_Size", static_cast<std::int64_t>(data.size()));
      ctx.ExtraOut() += data;
    }
    one.Answer(ctx.Reply(), n, {"Source_Size"});
  }
}

// Record sets 1..n: the entries of one local folder. An empty folder comes
// as one record with an empty ObjectName; a frame without records names no
// folder and changes nothing.
void FolderCheck(TRequestContext& ctx) {
  const int count = ctx.RecordSets();
  if (count == 0) return;
  auto store = ResolveStore(ctx, StoreAccess::kWrite);
  if (!store) return;
  if (store->kind != kSyncStore)
    return (void)ctx.Fail(kErrBadRequest, "only the sync store mirrors folders");
  auto folder = NormaliseFolder(ctx.Str("ObjectFolder"));
  if (!folder) return (void)ctx.Fail(kErrBadRequest, "ObjectFolder is not a valid path");
  const bool emptyFolder = count == 1 && ctx.Str("ObjectName").empty();
  std::vector<TListingEntry> listing;
  for (int n = 1; n <= count && !emptyFolder; ++n) {
    const std::string user = ctx.Str("UCode", n);
    if (!user.empty() && user != store->user)
      return (void)ctx.Fail(kErrForbidden, "the listing names another user's store");
    auto path = NormaliseFolder(ctx.Str("ObjectName", n));
    auto entryFolder = NormaliseFolder(ctx.Str("ObjectFolder", n));
    if (!path || entryFolder != folder || SplitPath(*path).first != *folder)
      return (void)ctx.Fail(kErrBadRequest, "record " + std::to_string(n) +
                                                " does not name an entry of ObjectFolder");
    listing.push_back({SplitPath(*path).second, ctx.Int("ObjectKind", n) == 1});
  }
  auto mirrored = FileStoreOf(ctx).MirrorFolder(*store, *folder, listing);
  if (!mirrored.Ok()) ctx.FailStorage(mirrored.Error());
}

}  // namespace

void RegisterTransferOperations(TDispatcher& d) {
  d.Register("TUpDown.Check", Check);
  d.Register("TUpDown.UpLoad", UpLoad);
  d.Register("TUpDown.DownLoad", DownLoad);
  d.Register("TUpDown.FolderCheck", FolderCheck);
  d.Register("TUpDown.CheckFiles", CheckFiles);
  d.Register("TUpDown.UpLoadFiles", UpLoadFiles);
  d.Register("TUpDown.DownLoadFiles", DownLoadFiles);
}

}  // namespace solvane::server
