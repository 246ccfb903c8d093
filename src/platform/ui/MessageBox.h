#pragma once

#include <functional>
#include <string>

namespace ui {

enum class MessageIcon { None, Warning };

struct MessageBoxRequest {
  std::string text;   // exactly as built; carriage returns show as line breaks
  std::string title;  // empty: the application title
  MessageIcon icon = MessageIcon::None;
  std::string details;  // behind the box's "Show Details..." button; empty: none
};

// Shows a modal box with one OK button and waits until it is closed.
// `details`, such as a driver's reason, are there for the asking.
void MsgBox(const std::string& text, MessageIcon icon = MessageIcon::None,
            const std::string& title = {}, const std::string& details = {});

// The title boxes get when they give none of their own.
void SetApplicationTitleText(const std::string& title);
const std::string& ApplicationTitleText();

// Tests capture boxes instead of showing them. The title is already resolved.
using MessageBoxHandler = std::function<void(const MessageBoxRequest&)>;
void SetMessageBoxHandler(MessageBoxHandler handler);  // empty: real boxes

}  // namespace ui
