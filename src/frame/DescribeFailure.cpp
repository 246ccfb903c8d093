#include <new>

#include "frame/ErrorReport.h"

namespace frame {

std::string DescribeFailure(std::exception_ptr failure) {
  if (!failure) return "Unknown error";
  try {
    std::rethrow_exception(failure);
  } catch (const std::bad_alloc&) {
    return "Out of memory";
  } catch (const std::exception& caught) {
    const std::string what = caught.what();
    return what.empty() ? "Unknown error" : what;
  } catch (...) {
    return "Unknown error";
  }
}

}  // namespace frame
