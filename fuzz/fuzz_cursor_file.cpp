// The hand cursor file lies beside the program, where anyone may replace
// it: any bytes must give a cursor or a clean failure.
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "platform/ui/CursorFileParser.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  try {
    const ui::ParsedCursor cursor = ui::ParseCursorFile({data, size}, "fuzz.cur");
    if (cursor.image.isNull() || cursor.hotX < 0 || cursor.hotY < 0 || cursor.hotX >= cursor.image.width() ||
        cursor.hotY >= cursor.image.height())
      __builtin_trap();  // a cursor that passed must be usable
  } catch (const std::runtime_error&) {
  }
  return 0;
}
