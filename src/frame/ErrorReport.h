#pragma once

#include <exception>
#include <string>
#include <string_view>

namespace frame {

// The support address that every error report asks for a screenshot at.
inline constexpr std::string_view SupportAddress = "support@quorvane.example";

// The report's text: description, CR LF, location text, "at line ", number,
// CR CR, the request for a screenshot.
std::string ErrorReportText(std::string_view location, int line, std::string_view description);

// Shows the "Application Error" box and returns when it is closed.
void ShowErrorReport(std::string_view location, int line, std::string_view description);

// The description of a caught failure.
std::string DescribeFailure(std::exception_ptr failure);

// The error trap of a guarded procedure. The procedure reads as its numbered
// steps; a failing step is reported with its number and the procedure goes
// on with the next one. A failure inside a routine called by a step is
// reported as a failure of that step.
class ErrorTrap {
 public:
  explicit ErrorTrap(std::string_view location) : location_(location) {}

  // Runs one step. Returns false when it failed (and was reported).
  template <class Action>
  bool Step(int line, Action&& action) {
    try {
      action();
      return true;
    } catch (...) {
      Report(line, std::current_exception());
      return false;
    }
  }

  // Tests a step's condition. A failing test is reported and counts as
  // `onFailure`: by default the governed action runs as if the test had held.
  template <class Condition>
  bool Test(int line, Condition&& condition, bool onFailure = true) {
    try {
      return static_cast<bool>(condition());
    } catch (...) {
      Report(line, std::current_exception());
      return onFailure;
    }
  }

  std::string_view location() const { return location_; }

 private:
  void Report(int line, std::exception_ptr failure) const;
  std::string_view location_;
};

}  // namespace frame
