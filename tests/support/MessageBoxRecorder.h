#pragma once

#include <vector>

#include "platform/ui/MessageBox.h"

namespace support {

// Records every message box instead of showing it, for as long as it lives.
class MessageBoxRecorder {
 public:
  MessageBoxRecorder();
  ~MessageBoxRecorder();
  MessageBoxRecorder(const MessageBoxRecorder&) = delete;
  MessageBoxRecorder& operator=(const MessageBoxRecorder&) = delete;

  const std::vector<ui::MessageBoxRequest>& boxes() const { return boxes_; }
  void clear() { boxes_.clear(); }

 private:
  std::vector<ui::MessageBoxRequest> boxes_;
};

}  // namespace support
