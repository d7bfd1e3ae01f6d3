#include "tasks/MailTaskPaths.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <set>

#include "mail/QorWithMCService.h"
#include "tasks/TaskLocalPaths.h"
#include "api/ApiCall.h"

namespace solvane {

namespace {

constexpr std::size_t kMaxDescriptionBytes = 65536;

std::string Sep() { return std::string(1, kLocalSeparator); }

bool ReadNumber(const std::string& text, std::int64_t& out) {
  if (text.empty() || (text.size() > 1 && text[0] == '0')) return false;
  const char* first = text.data();
  const char* last = text.data() + text.size();
  auto [p, ec] = std::from_chars(first, last, out);
  return ec == std::errc() && p == last && std::to_string(out) == text;
}

// Blanks for the control characters a frame value cannot hold (the line
// break mark 2 and tab stay).
void BlankControls(std::string& text) {
  for (char& c : text) {
    const auto u = static_cast<unsigned char>(c);
    if ((u < 0x20 && u != 0x02 && u != '\t') || u == 0x7F) c = ' ';
  }
}

// "</RecordSet>" in any letter case becomes "< /RecordSet>".
void BreakRecordEnd(std::string& text) {
  static const std::string kEnd = "</recordset>";
  for (std::size_t i = 0; i + kEnd.size() <= text.size(); ++i) {
    bool same = true;
    for (std::size_t k = 0; k < kEnd.size() && same; ++k)
      same = std::tolower(static_cast<unsigned char>(text[i + k])) == kEnd[k];
    if (same) text.insert(i + 1, " ");
  }
}

// Cut to at most max bytes, never inside a UTF-8 character.
void ClipUtf8(std::string& text, std::size_t max) {
  if (text.size() <= max) return;
  std::size_t end = max;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
}

}  // namespace

std::string MailExportFolder(const std::string& cacheFolder, int mcKind, std::int64_t parentId) {
  return WithTrailingSeparator(cacheFolder) + TQorMCService::GetKindName(mcKind) + Sep() +
         std::to_string(parentId) + Sep();
}

std::string MailFolderCacheDirectory(const std::string& cacheFolder, int mcKind,
                                     std::int64_t parentId, std::int64_t folderId) {
  return MailExportFolder(cacheFolder, mcKind, parentId) + std::to_string(folderId) + Sep();
}

std::string MailObjectFolder(int mcKind, std::int64_t parentId) {
  return Sep() + TQorMCService::GetKindName(mcKind) + Sep() + std::to_string(parentId) + Sep();
}

std::string MailStoreFolder(int mcKind, std::int64_t parentId, std::int64_t folderId) {
  return "/" + TQorMCService::GetKindName(mcKind) + "/" + std::to_string(parentId) + "/" +
         std::to_string(folderId);
}

std::string MailFileExtension(int mcKind) { return mcKind == kMCKindOutlook ? ".msg" : ".eml"; }

std::string MailMessageFileName(int mcKind, std::int64_t folderId, std::int64_t messageId,
                                bool repeatedId, std::size_t position) {
  std::string name = std::to_string(folderId) + "-" + std::to_string(messageId);
  if (repeatedId) name += "-" + std::to_string(position);
  return name + MailFileExtension(mcKind);
}

std::optional<TMailFileNameParts> ParseMailMessageFileName(const std::string& name) {
  const auto dot = name.rfind('.');
  if (dot == std::string::npos) return std::nullopt;
  const std::string ext = name.substr(dot);
  if (ext != ".eml" && ext != ".msg") return std::nullopt;
  std::vector<std::string> parts;
  std::size_t start = 0;
  // A negative MessageID ("3001--1") keeps its sign with the number.
  for (std::size_t i = 0; i < dot; ++i) {
    if (name[i] == '-' && i > start) {
      parts.push_back(name.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.push_back(name.substr(start, dot - start));
  if (parts.size() != 2 && parts.size() != 3) return std::nullopt;
  TMailFileNameParts out;
  std::int64_t position = 0;
  if (!ReadNumber(parts[0], out.FolderID) || !ReadNumber(parts[1], out.MessageID))
    return std::nullopt;
  if (parts.size() == 3 && (!ReadNumber(parts[2], position) || position < 1)) return std::nullopt;
  return out;
}

TMailChoice ChooseMessages(const TQorMCFolderObject& readerFolder,
                           const TQorMCFolderObject& saved) {
  TMailChoice choice;
  std::set<std::int64_t> wanted;
  if (!saved.IsSelected)
    for (const auto& m : saved.Messages)
      if (m->IsSelected) wanted.insert(m->MessageID);

  std::set<std::int64_t> seen;
  std::size_t position = 0;
  for (const auto& m : readerFolder.Messages) {
    ++position;
    const bool repeated = !seen.insert(m->MessageID).second;
    // A chosen MessageID takes the first message that carries it.
    const bool take = saved.IsSelected || (!repeated && wanted.count(m->MessageID) > 0);
    if (take) choice.Messages.push_back({m.get(), position, repeated});
  }
  for (std::int64_t id : wanted)
    if (!seen.count(id)) choice.Missing.push_back(id);
  return choice;
}

std::string MailDescriptionForWire(const TQorMCMessage& message) {
  std::string text = api::LineBreaksToWire(Describe(message));
  BlankControls(text);
  BreakRecordEnd(text);
  ClipUtf8(text, kMaxDescriptionBytes);
  return text;
}

}  // namespace solvane
