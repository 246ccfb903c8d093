#pragma once

#include <functional>
#include <string>

namespace ui {

// Starts a command line as a separate process and does not wait for it.
void StartProcess(const std::string& commandLine);

// Tests record launches instead of starting anything.
using ProcessLauncher = std::function<void(const std::string& commandLine)>;
void SetProcessLauncher(ProcessLauncher launcher);  // empty: real launches

}  // namespace ui
