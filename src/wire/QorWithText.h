#pragma once
// Text helpers shared by the wire layer and its callers, and the one place
// that converts between the program's UTF-8 and the wire's GB18030 bytes.

#include <cstdint>
#include <string>
#include <string_view>

namespace solvane {

// "1" for true, "0" for false.
std::string BoolToText(bool b);
// True exactly when the first character of t is '1'.
bool TextToBool(std::string_view t);
// When t is shorter than width: fill repeated in front up to width bytes;
// otherwise the last width bytes of t.
std::string PadLeft(std::string_view t, std::size_t width, char fill);

// UTF-8 -> GB18030 (byte-identical to GBK for every GBK character). Invalid
// UTF-8 sequences are replaced by '?'.
std::string Utf8ToGb18030(std::string_view utf8);
// GB18030 -> UTF-8. Bytes that are no valid GB18030 become U+FFFD.
std::string Gb18030ToUtf8(std::string_view gb);
// Length of the text in GBK bytes (for layouts measured in GBK bytes).
std::size_t GbkLength(std::string_view utf8);

// Decimal text to integer; false when t is not a whole decimal number
// (optional sign, digits only, no blanks) or does not fit.
bool ParseInt64(std::string_view t, std::int64_t& out);

}  // namespace solvane
