#include "frame/Settings.h"

#include "platform/store/SettingsFile.h"

namespace frame {

std::string ReadSetting(const std::string& appName, const std::string& section,
                        const std::string& key, const std::string& defaultValue) {
  return store::SettingsFile(appName).Read(section, key).value_or(defaultValue);
}

void WriteSetting(const std::string& appName, const std::string& section, const std::string& key,
                  const std::string& value) {
  store::SettingsFile(appName).Write(section, key, value);
}

}  // namespace frame
