#include "Measure.h"

#include <fstream>
#include <string>

namespace bench {
namespace {

long StatusField(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return 0;
}

}  // namespace

double Now() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long ResidentKiB() { return StatusField("VmRSS"); }
long PeakResidentKiB() { return StatusField("VmHWM"); }

void ResetPeakResident() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
}

Span::Span() {
  ResetPeakResident();
  residentAtStart_ = ResidentKiB();
  start_ = Now();
}

double Span::seconds() const { return Now() - start_; }

double Span::peakGrowthMiB() const { return static_cast<double>(PeakResidentKiB() - residentAtStart_) / 1024.0; }

double Span::residentAtStartMiB() const { return static_cast<double>(residentAtStart_) / 1024.0; }

double Span::peakResidentMiB() const { return static_cast<double>(PeakResidentKiB()) / 1024.0; }

}  // namespace bench
