#include <QCoreApplication>

#include "frame/Appearance.h"

namespace frame {

namespace {

std::string& FolderOverride() {
  static std::string folder;
  return folder;
}

std::string WithoutTrailingSeparator(std::string folder) {
  while (!folder.empty() && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

std::string ProgramFolder() {
  if (!FolderOverride().empty()) return FolderOverride();
  return WithoutTrailingSeparator(QCoreApplication::applicationDirPath().toStdString());
}

void SetProgramFolder(const std::string& folder) { FolderOverride() = WithoutTrailingSeparator(folder); }

std::string SkinFilePath() { return ProgramFolder() + "/x/o.cjs"; }

std::string HandCursorFilePath() {
  // Beside the program in a build tree; an installed program (/usr/bin) finds
  // it among its data (/usr/share/quorvane-table-desk).
  const std::string beside = ProgramFolder() + "/HAND-M.CUR";
  const std::string installed = ProgramFolder() + "/../share/quorvane-table-desk/HAND-M.CUR";
  return !FileExists(beside) && FileExists(installed) ? installed : beside;
}

}  // namespace frame
