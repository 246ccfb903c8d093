#include "MessageBoxRecorder.h"

namespace support {

MessageBoxRecorder::MessageBoxRecorder() {
  ui::SetMessageBoxHandler([this](const ui::MessageBoxRequest& request) { boxes_.push_back(request); });
}

MessageBoxRecorder::~MessageBoxRecorder() { ui::SetMessageBoxHandler({}); }

}  // namespace support
