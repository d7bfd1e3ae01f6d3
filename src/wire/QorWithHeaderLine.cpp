#include "wire/QorWithHeaderLine.h"

#include <cctype>
#include <vector>

#include "wire/QorWithText.h"

namespace solvane {

namespace {

constexpr std::string_view kBindingHandle = "BINDINGHANDLE";
constexpr std::string_view kId = "CF_SEND_PARAM:ID";
constexpr std::string_view kFrameSize = "PARAMXMLSTREAMSIZE";
constexpr std::string_view kExtraSize = "EXTRABUFFERSIZE";
constexpr std::string_view kToken = "TOKEN";

std::string Pad8(std::int64_t v) { return PadLeft(std::to_string(v), 8, '0'); }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

std::string Upper(std::string_view s) {
  std::string u(s);
  for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return u;
}

struct Part {
  std::string key;  // upper case, trimmed
  std::string_view value;
  bool hasEquals;
};

std::vector<Part> SplitParts(std::string_view line) {
  std::vector<Part> parts;
  std::size_t start = 0;
  while (start <= line.size()) {
    std::size_t bar = line.find('|', start);
    std::string_view piece =
        line.substr(start, bar == std::string_view::npos ? std::string_view::npos : bar - start);
    std::size_t eq = piece.find('=');
    if (eq == std::string_view::npos)
      parts.push_back({Upper(Trim(piece)), {}, false});
    else
      parts.push_back({Upper(Trim(piece.substr(0, eq))), Trim(piece.substr(eq + 1)), true});
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return parts;
}

}  // namespace

std::string BuildHeaderLine(const THeaderLine& h, bool forceExtra) {
  std::string s = "BindingHandle=" + Pad8(h.bindingHandle);
  s += "|CF_SEND_PARAM:Id=" + Pad8(h.id);
  s += "|ParamXMLStreamSize=" + Pad8(h.frameSize);
  if (h.extraSize > 0 || forceExtra) s += "|ExtraBufferSize=" + Pad8(h.extraSize);
  if (!h.token.empty()) s += "|Token=" + h.token;
  return s;
}

THeaderLine ParseHeaderLine(std::string_view line) {
  THeaderLine h;
  auto number = [](std::string_view v) {
    std::int64_t n = 0;
    return ParseInt64(v, n) ? n : 0;
  };
  for (const Part& p : SplitParts(line)) {
    if (!p.hasEquals) continue;
    if (p.key == kBindingHandle)
      h.bindingHandle = number(p.value);
    else if (p.key == kId)
      h.id = number(p.value);
    else if (p.key == kFrameSize)
      h.frameSize = number(p.value);
    else if (p.key == kExtraSize)
      h.extraSize = number(p.value);
    else if (p.key == kToken)
      h.token = std::string(p.value);
  }
  return h;
}

std::optional<THeaderLine> ParseHeaderLineStrict(std::string_view line, std::size_t maxLength) {
  if (line.size() > maxLength) return std::nullopt;
  THeaderLine h;
  bool haveId = false, haveSize = false;
  for (const Part& p : SplitParts(line)) {
    if (!p.hasEquals) return std::nullopt;
    std::int64_t n = 0;
    bool numeric = p.key == kBindingHandle || p.key == kId || p.key == kFrameSize ||
                   p.key == kExtraSize;
    if (numeric && (!ParseInt64(p.value, n) || n < 0)) return std::nullopt;
    if (p.key == kBindingHandle) h.bindingHandle = n;
    if (p.key == kId) h.id = n, haveId = true;
    if (p.key == kFrameSize) h.frameSize = n, haveSize = true;
    if (p.key == kExtraSize) h.extraSize = n;
    if (p.key == kToken) h.token = std::string(p.value);
  }
  if (!haveId || !haveSize) return std::nullopt;
  return h;
}

}  // namespace solvane
