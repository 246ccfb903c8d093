// The settings file may be damaged or edited by hand: parsing never fails,
// and whatever it yields must survive being saved and read again exactly.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/store/SettingsFormat.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const store::SettingsTree tree = store::ParseSettings(text);
  const std::string saved = store::SerializeSettings(tree);
  if (store::ParseSettings(saved) != tree) __builtin_trap();
  // Any text, taken as a value, comes back from its escaped form.
  std::string raw;
  if (!store::UnescapeSettingsText(store::EscapeSettingsText(text), raw) || raw != text) __builtin_trap();
  return 0;
}
