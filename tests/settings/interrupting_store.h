// Wraps a settings key so that the process "dies" before its (budget + 1)-th registry write:
// the write is not done and an exception unwinds the save, as a kill or a power loss would
// stop it. Reads pass through. Used to cut a save after every possible number of writes.
#pragma once

#include <stdexcept>
#include <string>
#include <vector>

#include "app/settings/rule_store.h"

struct SaveInterrupted : std::runtime_error {
    SaveInterrupted() : std::runtime_error("interrupted") {}
};

class InterruptingStore : public qly::SettingsKeyStore {
  public:
    InterruptingStore(qly::SettingsKeyStore& inner, int budget)
        : m_inner(inner), m_budget(budget) {}
    int writes() const { return m_writes; }

    bool KeyExists(const std::string& subkey) override { return m_inner.KeyExists(subkey); }
    bool ReadValues(const std::string& subkey, std::vector<qly::RawValue>& values) override {
        return m_inner.ReadValues(subkey, values);
    }
    bool CreateKey(const std::string& subkey) override {
        Spend();
        return m_inner.CreateKey(subkey);
    }
    bool DeleteKey(const std::string& subkey) override {
        Spend();
        return m_inner.DeleteKey(subkey);
    }
    bool WriteValue(const std::string& subkey, const qly::RawValue& value) override {
        Spend();
        return m_inner.WriteValue(subkey, value);
    }
    bool DeleteValue(const std::string& subkey, const std::string& name) override {
        Spend();
        return m_inner.DeleteValue(subkey, name);
    }

  private:
    void Spend() {
        if (m_budget >= 0 && m_writes >= m_budget)
            throw SaveInterrupted();
        ++m_writes;
    }
    qly::SettingsKeyStore& m_inner;
    int m_budget;  // negative: unlimited
    int m_writes = 0;
};
