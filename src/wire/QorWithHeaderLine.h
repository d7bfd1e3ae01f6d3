#pragma once
// The header line in front of every request and reply:
//   BindingHandle=00001234|CF_SEND_PARAM:Id=00000003|ParamXMLStreamSize=00000278
// optionally followed by |ExtraBufferSize=... and, on requests of a signed-in
// client, |Token=<token>. Numbers are padded or cut to 8 digits.
//
// The parser does no I/O: it takes one line (without its line end).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace solvane {

struct THeaderLine {
  std::int64_t bindingHandle = 0;
  std::int64_t id = 0;
  std::int64_t frameSize = 0;  // ParamXMLStreamSize
  std::int64_t extraSize = 0;  // ExtraBufferSize, 0 when absent
  std::string token;           // Token, empty when absent
};

// Builds the line without CR LF. ExtraBufferSize is written only when
// extraSize > 0 (or forceExtra is true), Token only when not empty.
std::string BuildHeaderLine(const THeaderLine& h, bool forceExtra = false);

// Reads keys in any order and letter case; unknown keys are ignored; a
// missing or non-numeric number reads as 0. Token keeps its letter case.
THeaderLine ParseHeaderLine(std::string_view line);

// Strict form for the server: nullopt when the line is longer than maxLength,
// has a part without '=', a numeric key that is not a number, a negative
// size, or lacks Id or ParamXMLStreamSize.
std::optional<THeaderLine> ParseHeaderLineStrict(std::string_view line,
                                                 std::size_t maxLength = 1024);

}  // namespace solvane
