#pragma once
// Texts that clients store on the server and that later travel back in
// frames (names, comments, request texts, passwords).

#include <cstddef>
#include <string_view>

namespace solvane::server {

// At most maxBytes; no control characters (the character 2, a line break in
// the frame's own form, only when allowLineBreakMarker) and no
// "</RecordSet>" in any letter case, which would end the frame's record.
bool IsFrameSafeText(std::string_view text, std::size_t maxBytes,
                     bool allowLineBreakMarker = false);

}  // namespace solvane::server
