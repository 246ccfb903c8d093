#include "frame/ErrorReport.h"

#include "platform/ui/MessageBox.h"

namespace frame {

namespace {
constexpr std::string_view ReportTitle = "Application Error";
}

std::string ErrorReportText(std::string_view location, int line, std::string_view description) {
  std::string text;
  text += description;
  text += "\r\n";
  text += location;
  text += "at line ";
  text += std::to_string(line);
  text += "\r\r";
  text += "Please email screenshot of this message to ";
  text += SupportAddress;
  return text;
}

void ShowErrorReport(std::string_view location, int line, std::string_view description) {
  ui::MsgBox(ErrorReportText(location, line, description), ui::MessageIcon::Warning,
             std::string(ReportTitle));
}

void ErrorTrap::Report(int line, std::exception_ptr failure) const {
  ShowErrorReport(location_, line, DescribeFailure(failure));
}

}  // namespace frame
