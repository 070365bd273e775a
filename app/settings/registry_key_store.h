// The rule store's registry interface on the real registry: sub-keys of an open settings
// key. Values are read whole whatever their size, so an oversized value is never a reason
// to stop reading the ones behind it.
#pragma once

#include <windows.h>

#include "app/settings/rule_store.h"

namespace qly {

class RegistryKeyStore : public SettingsKeyStore {
  public:
    explicit RegistryKeyStore(HKEY settings_key) : m_settings(settings_key) {}

    bool KeyExists(const std::string& subkey) override;
    bool ReadValues(const std::string& subkey, std::vector<RawValue>& values) override;
    bool CreateKey(const std::string& subkey) override;
    bool DeleteKey(const std::string& subkey) override;
    bool WriteValue(const std::string& subkey, const RawValue& value) override;
    bool DeleteValue(const std::string& subkey, const std::string& name) override;

  private:
    HKEY m_settings;
};

}  // namespace qly
