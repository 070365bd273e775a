// An in-memory settings key for the rule store's tests: sub-keys hold their values in
// enumeration order, names compare without regard to case, an existing value is replaced
// where it stands and a new one goes to the end, as the registry does.
#pragma once

#include <algorithm>
#include <cctype>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/settings/rule_store.h"

inline bool SameRegistryName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

class MemoryKeyStore : public qly::SettingsKeyStore {
  public:
    std::map<std::string, std::vector<qly::RawValue>> keys;

    bool KeyExists(const std::string& subkey) override { return keys.count(subkey) != 0; }
    bool ReadValues(const std::string& subkey, std::vector<qly::RawValue>& values) override {
        auto it = keys.find(subkey);
        if (it == keys.end())
            return false;
        values = it->second;
        return true;
    }
    bool CreateKey(const std::string& subkey) override {
        keys[subkey];
        return true;
    }
    bool DeleteKey(const std::string& subkey) override { return keys.erase(subkey) != 0; }
    bool WriteValue(const std::string& subkey, const qly::RawValue& value) override {
        auto it = keys.find(subkey);
        if (it == keys.end())
            return false;
        for (auto& v : it->second) {
            if (SameRegistryName(v.name, value.name)) {
                v.type = value.type;
                v.data = value.data;
                return true;
            }
        }
        it->second.push_back(value);
        return true;
    }
    bool DeleteValue(const std::string& subkey, const std::string& name) override {
        auto it = keys.find(subkey);
        if (it == keys.end())
            return false;
        auto& vs = it->second;
        const auto n = vs.size();
        vs.erase(
            std::remove_if(vs.begin(), vs.end(),
                           [&](const qly::RawValue& v) { return SameRegistryName(v.name, name); }),
            vs.end());
        return vs.size() != n;
    }
};
