#pragma once

#include <chrono>

namespace bench {

// Wall time in seconds since an arbitrary start.
double Now();

// Resident memory of this process, in KiB, read from /proc/self/status.
long ResidentKiB();
long PeakResidentKiB();
// Starts a new peak: the kernel sets the high-water mark back to what is
// resident now.
void ResetPeakResident();

// Stopwatch over a stretch of work, with the memory it made resident.
class Span {
 public:
  Span();
  double seconds() const;
  // Growth of the peak resident memory since the span began, in MiB.
  double peakGrowthMiB() const;
  // Resident memory when the span began, and the peak since, in MiB.
  double residentAtStartMiB() const;
  double peakResidentMiB() const;

 private:
  double start_;
  long residentAtStart_;
};

}  // namespace bench
