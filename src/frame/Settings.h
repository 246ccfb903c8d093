#pragma once

#include <string>

namespace frame {

inline constexpr const char* AppName = "Vantorell";
inline constexpr const char* ProductName = "Quorvane Table Desk Suite";
inline constexpr const char* DataSourceNameKey = "DataSourceName";

// The per-user settings store: application name, section, key, text value.
// A missing key reads as the default; reading never fails or creates
// anything.
std::string ReadSetting(const std::string& appName, const std::string& section,
                        const std::string& key, const std::string& defaultValue = {});

// Stores the value; it is on disk before this returns. Raises
// std::runtime_error when the store cannot be written.
void WriteSetting(const std::string& appName, const std::string& section, const std::string& key,
                  const std::string& value);

}  // namespace frame
