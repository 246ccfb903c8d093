#pragma once

#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace frame {

// The Qt platform plugin that QApplication will load: the -platform argument,
// else $QT_QPA_PLATFORM, cut to the first plugin of a list and without its
// options ("xcb:opt;wayland" is "xcb"); empty for Qt's own choice.
std::string RequestedPlatform(int argc, char** argv, const char* environmentValue);

// Why no window can be shown on that platform for these display variables
// (null when unset), in one line; empty when nothing stands in the way.
// `canOpenX11` says whether an X11 display can be reached.
std::string DisplayProblem(std::string_view platform, const char* display,
                           const char* waylandDisplay, bool (*canOpenX11)(const std::string&));

// Answers --help and --version, and refuses to start without a display.
// Returns the exit status when the program ends here, std::nullopt when it
// goes on to its windows.
std::optional<int> AnswerCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err);

}  // namespace frame
