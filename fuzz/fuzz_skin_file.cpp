// The skin file lies beside the program: any bytes must give a style sheet
// or a clean failure, and an accepted one must be the bytes as UTF-8.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <stdexcept>

#include "platform/ui/SkinStyleSheet.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  try {
    const QString sheet = ui::SkinStyleSheet(bytes, "fuzz.cjs");
    if (sheet.toUtf8() != bytes) __builtin_trap();
  } catch (const std::runtime_error&) {
  }
  return 0;
}
