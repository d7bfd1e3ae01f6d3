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

void AddObjectTail(TQorPack& p, const TUpObject& o) {
  p.AddString(1, "ObjectName", o.ObjectName);
  p.AddString(1, "ObjectFolder", o.ObjectFolder);
  p.AddInteger(1, "ObjectData", o.ObjectData);
  p.AddString(1, "ObjectCargo", o.ObjectCargo);
  p.AddString(1, "ObjectCargo2", o.ObjectCargo2);
  p.AddInteger(1, "ObjectSize", o.ObjectSize);
  p.AddInteger(1, "ObjectDate", o.ObjectDate);
}

void FillCheck(TQorPack& p, const TUpObject& o, std::int32_t objectId) {
  p.AddString(1, "UCode", o.UCode);
  p.AddInteger(1, "TaskID", o.TaskID);
  p.AddInteger(1, "TaskKind", o.TaskKind);
  p.AddInteger(1, "ObjectID", objectId);
  AddObjectTail(p, o);
  p.AddString(1, "Position", "0");
  p.AddString(1, "Action", "0");
}

TCheckAnswer CheckAnswerOf(TQorPack& p) {
  TCheckAnswer a;
  a.Action = static_cast<std::uint8_t>(Integer(p, 1, "Action") & 0xff);
  a.refPosition = Integer(p, 1, "refPosition");
  a.refVerifyValue = Integer(p, 1, "refVerifyValue");
  return a;
}

void FillUpLoad(TQorPack& p, const TUpObject& o, const TUpSegment& s, std::size_t size) {
  p.AddString(1, "UCode", o.UCode);
  p.AddInteger(1, "TaskID", o.TaskID);
  p.AddInteger(1, "SessionID", s.SessionID);
  p.AddInteger(1, "TaskKind", o.TaskKind);
  AddObjectTail(p, o);
  p.AddInteger(1, "SegmentCount", s.SegmentCount);
  p.AddInteger(1, "SegmentOrder", s.SegmentOrder);
  p.AddInteger(1, "Source_Offset", s.Offset);
  p.AddInteger(1, "Source_Size", static_cast<std::int64_t>(size));
}

void FillDownLoad(TQorPack& p, const TDownObject& o, std::int64_t segmentOrder) {
  p.AddString(1, "UCode", o.UCode);
  p.AddInteger(1, "TaskKind", o.TaskKind);
  p.AddString(1, "ObjectName", o.ObjectName);
  p.AddString(1, "ObjectFolder", o.ObjectFolder);
  p.AddInteger(1, "ObjectData", o.ObjectData);
  p.AddString(1, "ObjectCargo", o.ObjectCargo);
  p.AddString(1, "ObjectCargo2", o.ObjectCargo2);
  p.AddInteger(1, "ObjectSize", o.ObjectSize);
  p.AddInteger(1, "ObjectDate", o.ObjectDate);
  p.AddInteger(1, "SegmentCount", o.SegmentCount);
  p.AddInteger(1, "SegmentOrder", segmentOrder);
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
  FillCheck(p, o, objectId);
  TApiStatus status = link.Call(p);
  if (!status) return status;
  return {std::move(status), CheckAnswerOf(p)};
}

TApiStatus UpDownUpLoad(const TApiLink& link, const TUpObject& o, const TUpSegment& s,
                        std::string_view bytes) {
  TQorPack& p = ThreadFrame("TUpDown.UpLoad");
  FillUpLoad(p, o, s, bytes.size());
  return link.CallUpload(p, bytes);
}

TApiStatus UpDownDownLoad(const TApiLink& link, const TDownObject& o, std::int64_t segmentOrder,
                          std::string& bytes) {
  TQorPack& p = ThreadFrame("TUpDown.DownLoad");
  FillDownLoad(p, o, segmentOrder);
  bytes.clear();
  return link.CallDownload(p, bytes);
}

std::vector<TApiResult<TCheckAnswer>> UpDownCheckMany(TQorTCPClient& client,
                                                      const std::vector<TUpObject>& objects,
                                                      const std::vector<std::int32_t>& objectIds) {
  std::vector<TQorPack>& packs = ThreadFrames(objects.size(), "TUpDown.Check");
  for (std::size_t i = 0; i < objects.size(); ++i) FillCheck(packs[i], objects[i], objectIds[i]);
  std::vector<TApiStatus> statuses = CallPipelined(client, packs, {}, nullptr);
  std::vector<TApiResult<TCheckAnswer>> results;
  results.reserve(objects.size());
  for (std::size_t i = 0; i < objects.size(); ++i) {
    if (statuses[i])
      results.emplace_back(std::move(statuses[i]), CheckAnswerOf(packs[i]));
    else
      results.emplace_back(std::move(statuses[i]));
  }
  return results;
}

std::vector<TApiStatus> UpDownUpLoadMany(TQorTCPClient& client,
                                         const std::vector<TUpObject>& objects,
                                         const std::vector<TUpSegment>& segments,
                                         const std::vector<std::string_view>& bytes) {
  std::vector<TQorPack>& packs = ThreadFrames(objects.size(), "TUpDown.UpLoad");
  for (std::size_t i = 0; i < objects.size(); ++i)
    FillUpLoad(packs[i], objects[i], segments[i], bytes[i].size());
  return CallPipelined(client, packs, bytes, nullptr);
}

std::vector<TApiStatus> UpDownDownLoadMany(TQorTCPClient& client,
                                           const std::vector<TDownObject>& objects,
                                           std::vector<std::string>& bytes) {
  std::vector<TQorPack>& packs = ThreadFrames(objects.size(), "TUpDown.DownLoad");
  for (std::size_t i = 0; i < objects.size(); ++i) FillDownLoad(packs[i], objects[i], 1);
  bytes.clear();
  return CallPipelined(client, packs, {}, &bytes);
}

}  // namespace solvane::api
