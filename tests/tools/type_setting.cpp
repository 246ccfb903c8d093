// Types into the settings store the way the connection page's text box
// does: every keystroke writes the whole text so far. Prints the length of
// each text once it is stored. Usage: type_setting <text> <rounds, 0 = until killed>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "frame/Settings.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s TEXT ROUNDS\n", argv[0]);
    return 2;
  }
  const std::string text = argv[1];
  const long rounds = std::strtol(argv[2], nullptr, 10);
  try {
    for (long round = 0; rounds == 0 || round < rounds; ++round) {
      for (std::size_t typed = 1; typed <= text.size(); ++typed) {
        frame::WriteSetting(frame::AppName, frame::ProductName, frame::DataSourceNameKey, text.substr(0, typed));
        std::printf("%zu\n", typed);
        std::fflush(stdout);
      }
    }
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "type_setting: %s\n", failure.what());
    return 1;
  }
  return 0;
}
