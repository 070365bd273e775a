// RegistryKeyStore: see registry_key_store.h.
#include "app/settings/registry_key_store.h"

#include "app/settings/registry_ops.h"

namespace qly {

namespace {

UniqueKey OpenSub(HKEY parent, const std::string& subkey, REGSAM access) {
    UniqueKey key;
    if (RegOpenKeyExA(parent, subkey.c_str(), 0, access, key.out()) != ERROR_SUCCESS) {
        key.reset();
    }
    return key;
}

}  // namespace

bool RegistryKeyStore::KeyExists(const std::string& subkey) {
    return static_cast<bool>(OpenSub(m_settings, subkey, KEY_READ));
}

bool RegistryKeyStore::ReadValues(const std::string& subkey, std::vector<RawValue>& values) {
    values.clear();
    UniqueKey key = OpenSub(m_settings, subkey, KEY_READ);
    if (!key)
        return false;
    DWORD count = 0, max_name = 0, max_data = 0;
    if (RegQueryInfoKeyA(key.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                         &max_name, &max_data, nullptr, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // Buffers from the key's own maxima: no value is too large to be read, so none ends the
    // enumeration early.
    std::vector<char> name(max_name + 2);
    std::vector<BYTE> data(max_data + 1);
    for (DWORD index = 0; index < count; ++index) {
        LONG rc = ERROR_MORE_DATA;
        DWORD name_len = 0, data_len = 0, type = 0;
        for (int attempt = 0; attempt < 3 && rc == ERROR_MORE_DATA; ++attempt) {
            name_len = static_cast<DWORD>(name.size());
            data_len = static_cast<DWORD>(data.size());
            rc = RegEnumValueA(key.get(), index, name.data(), &name_len, nullptr, &type,
                               data.data(), &data_len);
            if (rc == ERROR_MORE_DATA) {
                // The key changed under us; grow to what it says now.
                if (data_len > data.size())
                    data.resize(data_len);
                name.resize(name.size() < 16384 ? 16384 : name.size() * 2);
            }
        }
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        if (rc != ERROR_SUCCESS)
            continue;
        RawValue v;
        v.name.assign(name.data(), name_len);
        v.type = type;
        v.data.assign(data.begin(), data.begin() + data_len);
        values.push_back(std::move(v));
    }
    return true;
}

bool RegistryKeyStore::CreateKey(const std::string& subkey) {
    UniqueKey key;
    return RegCreateKeyExA(m_settings, subkey.c_str(), 0, const_cast<char*>(""), 0, KEY_ALL_ACCESS,
                           nullptr, key.out(), nullptr) == ERROR_SUCCESS;
}

bool RegistryKeyStore::DeleteKey(const std::string& subkey) {
    // RegDeleteKey refuses a key with sub-keys. None of ours has any, but a staging key
    // that somebody gave one would otherwise stay for ever and stop every later save. The
    // sub-keys go first, so the key's own values still leave in the one last write.
    if (UniqueKey key = OpenSub(m_settings, subkey, KEY_ALL_ACCESS)) {
        char child[256];
        DWORD length = sizeof child;
        while (RegEnumKeyExA(key.get(), 0, child, &length, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS) {
            if (RegDeleteTreeA(key.get(), child) != ERROR_SUCCESS)
                return false;
            length = sizeof child;
        }
    }
    return RegDeleteKeyA(m_settings, subkey.c_str()) == ERROR_SUCCESS;
}

bool RegistryKeyStore::WriteValue(const std::string& subkey, const RawValue& value) {
    UniqueKey key = OpenSub(m_settings, subkey, KEY_SET_VALUE);
    if (!key)
        return false;
    return RegSetValueExA(key.get(), value.name.c_str(), 0, value.type, value.data.data(),
                          static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
}

bool RegistryKeyStore::DeleteValue(const std::string& subkey, const std::string& name) {
    UniqueKey key = OpenSub(m_settings, subkey, KEY_SET_VALUE);
    if (!key)
        return false;
    return RegDeleteValueA(key.get(), name.c_str()) == ERROR_SUCCESS;
}

}  // namespace qly
