#include "UiStoredFile.h"

#include "ServerProcess.h"

namespace solvane::testing {

namespace {

constexpr const char* kFolder = "/ui-tests/";
constexpr const char* kTaskId = "946164070";
constexpr const char* kDate = "946164070";

std::vector<std::pair<std::string, std::string>> FileFields(const std::string& user,
                                                            const std::string& name,
                                                            std::size_t size) {
  return {{"UCode", user},      {"TaskID", kTaskId},       {"TaskKind", "100"},
          {"ObjectName", name}, {"ObjectFolder", kFolder}, {"ObjectData", "-1"},
          {"ObjectCargo", ""},  {"ObjectCargo2", ""},      {"ObjectSize", std::to_string(size)},
          {"ObjectDate", kDate}};
}

}  // namespace

bool StoreFile(const TServerProcess& server, const std::string& user, const std::string& password,
               const std::string& name, const std::string& content) {
  TTestClient client;
  if (!client.Connect(server.Port()) || !client.Login(user, password)) return false;
  auto check = FileFields(user, name, content.size());
  check.insert(check.end(), {{"ObjectID", "1"}, {"Position", "0"}, {"Action", "0"}});
  TQorPack checkRequest = MakeRequest("TUpDown.Check", check);
  if (!client.CallOk(checkRequest)) return false;
  // Segments of 256 KiB, as the client's transfer engine sends them.
  constexpr std::size_t kSegment = 262144;
  const std::size_t count = content.empty() ? 1 : (content.size() + kSegment - 1) / kSegment;
  for (std::size_t order = 0; order < count; ++order) {
    const std::string part = content.substr(order * kSegment, kSegment);
    auto upload = FileFields(user, name, content.size());
    upload.insert(upload.end(), {{"SessionID", "946164071"},
                                 {"SegmentCount", std::to_string(count)},
                                 {"SegmentOrder", std::to_string(order + 1)},
                                 {"Source_Offset", std::to_string(order * kSegment)},
                                 {"Source_Size", std::to_string(part.size())}});
    TQorPack uploadRequest = MakeRequest("TUpDown.UpLoad", upload);
    if (!client.CallOk(uploadRequest, part)) return false;
  }
  return true;
}

bool CanSignIn(const TServerProcess& server, const std::string& user, const std::string& password) {
  TTestClient client;
  return client.Connect(server.Port()) && client.Login(user, password);
}

}  // namespace solvane::testing
