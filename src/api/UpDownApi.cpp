#include "api/UpDownApi.h"

#include "api/ApiFrame.h"

namespace solvane::api {

namespace {

// The calling thread's frame for the hot path: its buffers are kept from
// one segment to the next.
TQorPack& ThreadFrame(std::string_view operation) {
  thread_local TQorPack pack;
  pack.Reset();
  pack.SetFunNo(operation);
  return pack;
}

// Each Fill writes one request's fields into record set n (1 for a request
// of one file).
// The fields of the file, common to uploads and downloads (TUpObject or
// TDownObject).
template <typename TObject>
void AddObjectTail(TQorPack& p, int n, const TObject& o) {
  p.AddString(n, "ObjectName", o.ObjectName);
  p.AddString(n, "ObjectFolder", o.ObjectFolder);
  p.AddInteger(n, "ObjectData", o.ObjectData);
  p.AddString(n, "ObjectCargo", o.ObjectCargo);
  p.AddString(n, "ObjectCargo2", o.ObjectCargo2);
  p.AddInteger(n, "ObjectSize", o.ObjectSize);
  p.AddInteger(n, "ObjectDate", o.ObjectDate);
}

void FillCheck(TQorPack& p, int n, const TUpObject& o, std::int32_t objectId) {
  p.AddString(n, "UCode", o.UCode);
  p.AddInteger(n, "TaskID", o.TaskID);
  p.AddInteger(n, "TaskKind", o.TaskKind);
  p.AddInteger(n, "ObjectID", objectId);
  AddObjectTail(p, n, o);
  p.AddString(n, "Position", "0");
  p.AddString(n, "Action", "0");
}

TCheckAnswer CheckAnswerOf(TQorPack& p, int n) {
  TCheckAnswer a;
  a.Action = static_cast<std::uint8_t>(Integer(p, n, "Action") & 0xff);
  a.refPosition = Integer(p, n, "refPosition");
  a.refVerifyValue = Integer(p, n, "refVerifyValue");
  return a;
}

void FillUpLoad(TQorPack& p, int n, const TUpObject& o, const TUpSegment& s, std::size_t size) {
  p.AddString(n, "UCode", o.UCode);
  p.AddInteger(n, "TaskID", o.TaskID);
  p.AddInteger(n, "SessionID", s.SessionID);
  p.AddInteger(n, "TaskKind", o.TaskKind);
  AddObjectTail(p, n, o);
  p.AddInteger(n, "SegmentCount", s.SegmentCount);
  p.AddInteger(n, "SegmentOrder", s.SegmentOrder);
  p.AddInteger(n, "Source_Offset", s.Offset);
  p.AddInteger(n, "Source_Size", static_cast<std::int64_t>(size));
}

void FillDownLoad(TQorPack& p, int n, const TDownObject& o, std::int64_t segmentOrder) {
  p.AddString(n, "UCode", o.UCode);
  p.AddInteger(n, "TaskKind", o.TaskKind);
  AddObjectTail(p, n, o);
  p.AddInteger(n, "SegmentCount", o.SegmentCount);
  p.AddInteger(n, "SegmentOrder", segmentOrder);
}

// The calling thread's frames for pipelined calls, count of them, each
// empty and named operation; their buffers are kept from one batch to the
// next.
std::vector<TQorPack>& ThreadFrames(std::size_t count, std::string_view operation) {
  thread_local std::vector<TQorPack> packs;
  if (packs.size() < count) packs.resize(count);
  if (packs.size() > count) packs.erase(packs.begin() + static_cast<std::ptrdiff_t>(count), packs.end());
  for (TQorPack& p : packs) {
    p.Reset();
    p.SetFunNo(operation);
  }
  return packs;
}

}  // namespace

TApiStatus UpDownFolderCheck(const TApiLink& link, const std::string& userCode,
                             std::int32_t taskId, std::int32_t taskKind,
                             const std::string& folder,
                             const std::vector<TFolderCheckEntry>& entries) {
  TQorPack& p = ThreadFrame("TUpDown.FolderCheck");
  int n = 1;
  for (const TFolderCheckEntry& e : entries) {
    p.AddString(n, "UCode", userCode);
    p.AddInteger(n, "TaskID", taskId);
    p.AddInteger(n, "TaskKind", taskKind);
    p.AddInteger(n, "ObjectID", n);
    p.AddString(n, "ObjectName", e.ObjectName);
    p.AddInteger(n, "ObjectKind", e.IsFolder ? 1 : 0);
    p.AddString(n, "ObjectFolder", folder);
    p.AddInteger(n, "ObjectSize", e.ObjectSize);
    p.AddInteger(n, "ObjectDate", e.ObjectDate);
    ++n;
  }
  // An empty folder still names itself (a frame without records names none).
  if (entries.empty()) {
    p.AddString(1, "UCode", userCode);
    p.AddInteger(1, "TaskID", taskId);
    p.AddInteger(1, "TaskKind", taskKind);
    p.AddString(1, "ObjectName", "");
    p.AddString(1, "ObjectFolder", folder);
  }
  return link.Call(p);
}

TApiResult<TCheckAnswer> UpDownCheck(const TApiLink& link, const TUpObject& o,
                                     std::int32_t objectId) {
  TQorPack& p = ThreadFrame("TUpDown.Check");
  FillCheck(p, 1, o, objectId);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  return {std::move(status), CheckAnswerOf(p, 1)};
}

TApiStatus UpDownUpLoad(const TApiLink& link, const TUpObject& o, const TUpSegment& s,
                        std::string_view bytes) {
  TQorPack& p = ThreadFrame("TUpDown.UpLoad");
  FillUpLoad(p, 1, o, s, bytes.size());
  return link.CallUpload(p, bytes);
}

TApiStatus UpDownDownLoad(const TApiLink& link, const TDownObject& o, std::int64_t segmentOrder,
                          std::string& bytes) {
  TQorPack& p = ThreadFrame("TUpDown.DownLoad");
  FillDownLoad(p, 1, o, segmentOrder);
  bytes.clear();
  return link.CallDownload(p, bytes);
}

namespace {

// The server's code for an operation it does not know: a server older than
// the requests of many files answers them so.
constexpr std::int32_t kUnknownOperation = 0;

bool UnknownOperation(const TApiStatus& status) {
  return status.failure == TApiFailure::Refused && status.errNo == kUnknownOperation;
}

// The result of record set n of a reply of many files.
TApiStatus StatusOfRecord(TQorPack& reply, int n) {
  if (reply.RecordSetCount() < n)
    return TApiStatus::Failed(TApiFailure::BadReply,
                              "the reply to " + reply.FunNo() + " lacks the answer of a file");
  const std::int64_t errNo = Integer(reply, n, "ErrNo");
  if (errNo == kErrNoOk) return TApiStatus::Success();
  return TApiStatus::Failed(TApiFailure::Refused, Text(reply, n, "ErrMsg"),
                            static_cast<std::int32_t>(errNo));
}

// One request of many files: the request's own status, and into statuses
// each file's, which is the request's when that failed.
TApiStatus CallForFiles(TQorTCPClient& client, std::vector<TQorPack>& one, std::size_t files,
                        std::string_view data, std::string* replyData,
                        std::vector<TApiStatus>& statuses) {
  std::vector<std::string> replyExtras;
  const std::vector<std::string_view> extras{data};
  TApiStatus whole = CallPipelined(client, one, extras, replyData ? &replyExtras : nullptr).front();
  if (replyData && !replyExtras.empty()) *replyData = std::move(replyExtras.front());
  statuses.clear();
  statuses.reserve(files);
  for (std::size_t i = 0; i < files; ++i)
    statuses.push_back(whole ? StatusOfRecord(one.front(), static_cast<int>(i) + 1) : whole);
  return whole;
}

std::vector<TApiResult<TCheckAnswer>> CheckOneByOne(TQorTCPClient& client,
                                                    const std::vector<TUpObject>& objects,
                                                    const std::vector<std::int32_t>& objectIds) {
  std::vector<TQorPack>& packs = ThreadFrames(objects.size(), "TUpDown.Check");
  for (std::size_t i = 0; i < objects.size(); ++i) FillCheck(packs[i], 1, objects[i], objectIds[i]);
  std::vector<TApiStatus> statuses = CallPipelined(client, packs, {}, nullptr);
  std::vector<TApiResult<TCheckAnswer>> results;
  results.reserve(objects.size());
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (statuses[i])
      results.emplace_back(std::move(statuses[i]), CheckAnswerOf(packs[i], 1));
    else
      results.emplace_back(std::move(statuses[i]));
  }
  return results;
}

std::vector<TApiStatus> UpLoadOneByOne(TQorTCPClient& client, const std::vector<TUpObject>& objects,
                                       const std::vector<TUpSegment>& segments,
                                       const std::vector<std::string_view>& bytes) {
  std::vector<TQorPack>& packs = ThreadFrames(objects.size(), "TUpDown.UpLoad");
  for (std::size_t i = 0; i < objects.size(); ++i)
    FillUpLoad(packs[i], 1, objects[i], segments[i], bytes[i].size());
  return CallPipelined(client, packs, bytes, nullptr);
}

std::vector<TApiStatus> DownLoadOneByOne(TQorTCPClient& client,
                                         const std::vector<TDownObject>& objects,
                                         std::vector<std::string>& bytes) {
  std::vector<TQorPack>& packs = ThreadFrames(objects.size(), "TUpDown.DownLoad");
  for (std::size_t i = 0; i < objects.size(); ++i) FillDownLoad(packs[i], 1, objects[i], 1);
  bytes.clear();
  return CallPipelined(client, packs, {}, &bytes);
}

}  // namespace

std::vector<TApiResult<TCheckAnswer>> UpDownCheckMany(TQorTCPClient& client,
                                                      const std::vector<TUpObject>& objects,
                                                      const std::vector<std::int32_t>& objectIds) {
  if (objects.empty()) return {};
  std::vector<TQorPack>& one = ThreadFrames(1, "TUpDown.CheckFiles");
  for (std::size_t i = 0; i < objects.size(); ++i)
    FillCheck(one.front(), static_cast<int>(i) + 1, objects[i], objectIds[i]);
  std::vector<TApiStatus> statuses;
  if (UnknownOperation(CallForFiles(client, one, objects.size(), {}, nullptr, statuses)))
    return CheckOneByOne(client, objects, objectIds);
  std::vector<TApiResult<TCheckAnswer>> results;
  results.reserve(objects.size());
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (statuses[i])
      results.emplace_back(std::move(statuses[i]), CheckAnswerOf(one.front(), static_cast<int>(i) + 1));
    else
      results.emplace_back(std::move(statuses[i]));
  }
  return results;
}

std::vector<TApiStatus> UpDownUpLoadMany(TQorTCPClient& client,
                                         const std::vector<TUpObject>& objects,
                                         const std::vector<TUpSegment>& segments,
                                         const std::vector<std::string_view>& bytes) {
  if (objects.empty()) return {};
  std::vector<TQorPack>& one = ThreadFrames(1, "TUpDown.UpLoadFiles");
  thread_local std::string data;
  data.clear();
  for (std::size_t i = 0; i < objects.size(); ++i) {
    FillUpLoad(one.front(), static_cast<int>(i) + 1, objects[i], segments[i], bytes[i].size());
    data += bytes[i];
  }
  std::vector<TApiStatus> statuses;
  if (UnknownOperation(CallForFiles(client, one, objects.size(), data, nullptr, statuses)))
    return UpLoadOneByOne(client, objects, segments, bytes);
  return statuses;
}

std::vector<TApiStatus> UpDownDownLoadMany(TQorTCPClient& client,
                                           const std::vector<TDownObject>& objects,
                                           std::vector<std::string>& bytes) {
  bytes.assign(objects.size(), {});
  if (objects.empty()) return {};
  std::vector<TQorPack>& one = ThreadFrames(1, "TUpDown.DownLoadFiles");
  for (std::size_t i = 0; i < objects.size(); ++i)
    FillDownLoad(one.front(), static_cast<int>(i) + 1, objects[i], 1);
  std::string data;
  std::vector<TApiStatus> statuses;
  if (UnknownOperation(CallForFiles(client, one, objects.size(), {}, &data, statuses)))
    return DownLoadOneByOne(client, objects, bytes);
  // The segments follow one another in the reply's data, each as long as its
  // record says.
  std::size_t used = 0;
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (!statuses[i]) continue;
    const std::int64_t length = Integer(one.front(), static_cast<int>(i) + 1, "Source_Size");
    if (length < 0 || static_cast<std::uint64_t>(length) > data.size() - used) {
      statuses[i] = TApiStatus::Failed(TApiFailure::BadReply,
                                       "the reply to TUpDown.DownLoadFiles lacks data");
      continue;
    }
    bytes[i] = data.substr(used, static_cast<std::size_t>(length));
    used += static_cast<std::size_t>(length);
  }
  return statuses;
}

}  // namespace solvane::api
