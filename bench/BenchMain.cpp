// One measurement per process, so that each starts with the same memory:
//   quorvane-bench CASE IMPL DATA_SOURCE [--table NAME] [--edits N] [--expect N]
// CASE: first | open (from the table chooser's Next) | scroll (Ctrl+End) | middle | sweep | cancel | through |
// tables | edit-open | edit-loaded | paste | delete | add | find | sort | sort-key (by the key, descending) |
// edit-long (F2 on a 5 MB text) | end-long (End in its editor) | locked-tables (the list of a locked file) |
// export (the whole table to a CSV file);
// first-huge and through-huge measure first and through on the table "huge".
// IMPL: app | raw | qt.
// Prints one "RESULT CASE IMPL FIGURE VALUE" line per figure.
#include <QApplication>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "Cases.h"
#include "platform/ui/MessageBox.h"

namespace {

bench::Metrics Run(const std::string& what, const std::string& impl, const bench::Options& options) {
  using namespace bench;
  if (impl == "raw") {
    if (what == "first") return RawFirstScreen(options);
    if (what == "scroll") return RawLastRows(options);
    if (what == "middle") return RawMiddleRows(options);
    if (what == "through") return RawReadThrough(options);
    if (what == "tables") return RawTableList(options);
    if (what == "edit-open") return RawEdits(options, true);
    if (what == "edit-loaded") return RawEdits(options, false);
    if (what == "paste") return RawPaste(options);
    if (what == "delete") return RawDeleteRows(options);
    if (what == "add") return RawAddRow(options);
    if (what == "find") return RawFind(options);
    if (what == "sort") return RawSort(options, "amount");
    if (what == "sort-key") return RawSort(options, options.key + " DESC");
    if (what == "export") return RawExport(options);
  } else if (impl == "app") {
    if (what == "first") return AppFirstScreen(options);
    if (what == "open") return AppOpenFromChooser(options);
    if (what == "scroll") return AppCtrlEnd(options);
    if (what == "middle") return AppMiddle(options);
    if (what == "sweep") return AppSweep(options);
    if (what == "cancel") return AppCancelledEnd(options);
    if (what == "through") return AppReadThrough(options);
    if (what == "tables") return AppTableList(options);
    if (what == "edit-open") return AppEdits(options, false);
    if (what == "edit-loaded") return AppEdits(options, true);
    if (what == "paste") return AppPaste(options);
    if (what == "delete") return AppDeleteRows(options);
    if (what == "add") return AppAddRow(options);
    if (what == "find") return AppFind(options);
    if (what == "sort") return AppSort(options);
    if (what == "sort-key") return AppSortKeyDescending(options);
    if (what == "edit-long") return AppLongTextEdit(options, false);
    if (what == "end-long") return AppLongTextEdit(options, true);
    if (what == "locked-tables") return AppLockedTableList(options);
    if (what == "export") return AppExport(options);
  } else if (impl == "qt") {
    if (what == "first") return QtFirstScreen(options);
  }
  throw std::invalid_argument("no such measurement: " + what + " " + impl);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s CASE IMPL DATA_SOURCE [--table NAME] [--edits N] [--expect N]\n", argv[0]);
    return 2;
  }
  QApplication application(argc, argv);
  // A failure the program would show in a box is printed instead: a
  // benchmark must never wait for a click.
  bool boxShown = false;
  ui::SetMessageBoxHandler([&](const ui::MessageBoxRequest& box) {
    std::fprintf(stderr, "message box: %s\n", box.text.c_str());
    boxShown = true;
  });
  const std::string what = argv[1], impl = argv[2];
  bench::Options options;
  options.dataSource = argv[3];
  const bool huge = what.ends_with("-huge");
  if (huge) options.table = "huge";
  for (int index = 4; index + 1 < argc; index += 2) {
    if (std::strcmp(argv[index], "--table") == 0) options.table = argv[index + 1];
    else if (std::strcmp(argv[index], "--edits") == 0) options.edits = std::stoi(argv[index + 1]);
    else if (std::strcmp(argv[index], "--expect") == 0) options.expectedTables = std::stoi(argv[index + 1]);
  }
  try {
    const bench::Metrics metrics = Run(huge ? what.substr(0, what.size() - 5) : what, impl, options);
    if (boxShown) throw std::runtime_error("the program reported a failure");
    for (const auto& [figure, value] : metrics)
      std::printf("RESULT %s %s %s %.6f\n", what.c_str(), impl.c_str(), figure.c_str(), value);
  } catch (const std::exception& failure) {
    std::fprintf(stderr, "%s %s on %s failed: %s\n", what.c_str(), impl.c_str(), options.dataSource.c_str(),
                 failure.what());
    return 1;
  }
  return 0;
}
