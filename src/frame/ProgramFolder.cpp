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

std::string HandCursorFilePath() { return ProgramFolder() + "/HAND-M.CUR"; }

}  // namespace frame
