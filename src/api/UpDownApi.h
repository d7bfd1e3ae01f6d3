#pragma once
// Typed calls of the class word TUpDown: the sync folder listing, the check
// before an upload, and the segments of uploads and downloads. The check and
// the segments are the engine's hot path: each thread reuses one frame.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "api/ApiCall.h"

namespace solvane {
class TQorTCPClient;
}  // namespace solvane

namespace solvane::api {

// One entry of a sync folder's listing.
struct TFolderCheckEntry {
  std::string ObjectName;  // full path, "/" form
  bool IsFolder = false;
  std::int64_t ObjectSize = -1;  // -1 for a folder
  std::int64_t ObjectDate = -1;  // packed; -1 for a folder
};

// The file an upload check or segment names.
struct TUpObject {
  std::string UCode;
  std::int32_t TaskID = -1;
  std::int32_t TaskKind = -1;
  std::string ObjectName;    // file name only
  std::string ObjectFolder;  // the local parent, or the mail cache folder
  std::int64_t ObjectData = -1;
  std::string ObjectCargo;
  std::string ObjectCargo2;
  std::int64_t ObjectSize = 0;
  std::int64_t ObjectDate = 0;  // packed
};

struct TCheckAnswer {
  std::uint8_t Action = 0;  // 0 held already, 1 send it
  std::int64_t refPosition = 0;
  std::int64_t refVerifyValue = 0;
};

// One upload segment: where it sits in the file.
struct TUpSegment {
  std::int32_t SessionID = -1;
  std::int64_t SegmentCount = 0;
  std::int64_t SegmentOrder = 1;  // 1-based
  std::int64_t Offset = 0;
};

// The stored file a download segment names.
struct TDownObject {
  std::string UCode;  // the store's owner
  std::int32_t TaskKind = -1;
  std::string ObjectName;
  std::string ObjectFolder;  // server folder without trailing "/"
  std::int64_t ObjectData = -1;
  std::string ObjectCargo;  // the local target (the server ignores it)
  std::string ObjectCargo2;
  std::int64_t ObjectSize = 0;
  std::int64_t ObjectDate = 0;
  std::int64_t SegmentCount = 0;
};

// Makes the sync store's folder (server form, trailing "/") exactly the
// listing; an empty listing empties it.
TApiStatus UpDownFolderCheck(const TApiLink& link, const std::string& userCode,
                             std::int32_t taskId, std::int32_t taskKind,
                             const std::string& folder,
                             const std::vector<TFolderCheckEntry>& entries);
// objectId: the item's place in the run's queue.
TApiResult<TCheckAnswer> UpDownCheck(const TApiLink& link, const TUpObject& object,
                                     std::int32_t objectId);
TApiStatus UpDownUpLoad(const TApiLink& link, const TUpObject& object, const TUpSegment& segment,
                        std::string_view bytes);
// The segment's bytes into bytes (replaced); empty past the end.
TApiStatus UpDownDownLoad(const TApiLink& link, const TDownObject& object,
                          std::int64_t segmentOrder, std::string& bytes);

// The forms for many small files at once on one connection the caller
// holds: one request (TUpDown.CheckFiles, UpLoadFiles, DownLoadFiles) and one
// round trip for them all. A server that does not know those operations gets
// one request per file instead, all sent before the first reply is awaited.
// One result per entry, in order.
std::vector<TApiResult<TCheckAnswer>> UpDownCheckMany(TQorTCPClient& client,
                                                      const std::vector<TUpObject>& objects,
                                                      const std::vector<std::int32_t>& objectIds);
// A whole file in one segment each (segments[i] belongs to objects[i]).
std::vector<TApiStatus> UpDownUpLoadMany(TQorTCPClient& client,
                                         const std::vector<TUpObject>& objects,
                                         const std::vector<TUpSegment>& segments,
                                         const std::vector<std::string_view>& bytes);
// The first segment of each object into bytes[i].
std::vector<TApiStatus> UpDownDownLoadMany(TQorTCPClient& client,
                                           const std::vector<TDownObject>& objects,
                                           std::vector<std::string>& bytes);

}  // namespace solvane::api
