#include "frame/CommandLine.h"

#include <cstdlib>
#include <cstring>
#include <ostream>

#include "frame/Settings.h"
#include "platform/store/GridStateFile.h"
#include "platform/store/SettingsFile.h"
#include "platform/ui/X11Display.h"

namespace frame {

namespace {

constexpr const char* kProgram = "quorvane-table-desk";

void PrintHelp(std::ostream& out) {
  out << "Usage: " << kProgram << " [--help | --version] [Qt options such as -platform NAME]\n"
      << "\n"
      << ProductName << " opens one table of a database reached through\n"
      << "an ODBC data source name and lets you edit its rows in a grid. Every change\n"
      << "goes to the database at once. Pages: the connection page (type the data\n"
      << "source name), the table chooser, the table editor. Closing any window ends\n"
      << "the program.\n"
      << "\n"
      << "Options:\n"
      << "  --help       show this text and exit\n"
      << "  --version    show the version and exit\n"
      << "\n"
      << "Files:\n"
      << "  " << store::SettingsFile(AppName).path() << "\n"
      << "      the settings: the last data source name typed\n"
      << "  " << store::GridStateFile(AppName).path() << "\n"
      << "      the widths given to columns and the zoom, per data source and table\n"
      << "  ~/.odbc.ini, /etc/odbc.ini, /etc/odbcinst.ini\n"
      << "      the data sources and drivers of unixODBC (odbcinst -j shows which)\n"
      << "\n"
      << "Environment:\n"
      << "  XDG_CONFIG_HOME   folder of the settings (default ~/.config)\n"
      << "  XDG_STATE_HOME    folder of the grids' widths and zoom (default ~/.local/state)\n"
      << "  ODBCINI           the user's data source file (default ~/.odbc.ini)\n"
      << "  ODBCSYSINI        folder of the system's odbc.ini and odbcinst.ini\n"
      << "  DISPLAY, WAYLAND_DISPLAY\n"
      << "                    the X11 or Wayland display the windows appear on\n"
      << "  QT_QPA_PLATFORM   Qt's platform plugin, e.g. xcb, wayland or offscreen\n";
}

bool IsOption(const char* argument, const char* name) {
  // Qt's own options take one dash or two; ours are written with two.
  return std::strcmp(argument, name) == 0;
}

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

}  // namespace

std::string RequestedPlatform(int argc, char** argv, const char* environmentValue) {
  std::string platform = IsSet(environmentValue) ? environmentValue : "";
  for (int i = 1; i + 1 < argc; ++i) {
    if (IsOption(argv[i], "-platform") || IsOption(argv[i], "--platform")) platform = argv[i + 1];
  }
  platform = platform.substr(0, platform.find(';'));
  return platform.substr(0, platform.find(':'));
}

std::string DisplayProblem(std::string_view platform, const char* display,
                           const char* waylandDisplay, bool (*canOpenX11)(const std::string&)) {
  const bool anyPlatform = platform.empty();
  const bool x11 = anyPlatform || platform == "xcb";
  const bool wayland = anyPlatform || platform.starts_with("wayland");
  if (!x11 && !wayland) return {};  // offscreen, vnc, eglfs and the like need no display
  if (wayland && IsSet(waylandDisplay)) return {};
  if (x11 && IsSet(display)) {
    if (canOpenX11(display)) return {};
    return std::string("cannot open the X11 display ") + display;
  }
  if (!wayland) return "no X11 display: DISPLAY is not set (xvfb-run runs the program on a virtual one)";
  if (!x11) return "no Wayland display: WAYLAND_DISPLAY is not set";
  return "no display: neither DISPLAY nor WAYLAND_DISPLAY is set "
         "(xvfb-run runs the program on a virtual one)";
}

std::optional<int> AnswerCommandLine(int argc, char** argv, std::ostream& out, std::ostream& err) {
  for (int i = 1; i < argc; ++i) {
    if (IsOption(argv[i], "--help") || IsOption(argv[i], "-h")) {
      PrintHelp(out);
      return EXIT_SUCCESS;
    }
    if (IsOption(argv[i], "--version")) {
      out << kProgram << ' ' << QUORVANE_VERSION << '\n';
      return EXIT_SUCCESS;
    }
  }
  const std::string problem =
      DisplayProblem(RequestedPlatform(argc, argv, std::getenv("QT_QPA_PLATFORM")),
                     std::getenv("DISPLAY"), std::getenv("WAYLAND_DISPLAY"), &ui::CanOpenX11Display);
  if (problem.empty()) return std::nullopt;
  err << kProgram << ": " << problem << '\n';
  return EXIT_FAILURE;
}

}  // namespace frame
