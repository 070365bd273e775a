// The registry operations of registry_ops.h.
#include "app/settings/registry_ops.h"

#include <cstring>
#include <vector>

namespace qly {

LONG OpenSettingsKey(HKEY root, const char* path, HKEY* key, int create) {
    LONG rc = RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, key);
    if (rc != ERROR_SUCCESS && create) {
        rc = RegCreateKeyExA(root, path, 0, const_cast<char*>(""), 0, KEY_ALL_ACCESS, nullptr, key,
                             nullptr);
    }
    return rc;
}

LONG ReadDword(HKEY key, const char* name, uint32_t* value) {
    uint32_t read = *value;
    DWORD size = sizeof read;
    const LONG rc =
        RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    // Fewer bytes would leave part of the old value under a new one.
    if (size != sizeof read)
        return ERROR_INVALID_DATA;
    *value = read;
    return ERROR_SUCCESS;
}

LONG WriteDword(HKEY key, const char* name, uint32_t value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof value);
}

LONG ReadRaw(HKEY key, const char* name, void* buffer, DWORD* size) {
    return RegQueryValueExA(key, name, nullptr, nullptr, static_cast<BYTE*>(buffer), size);
}

LONG ReadStringAlloc(HKEY key, const char* name, std::string* text) {
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key, name, nullptr, nullptr, nullptr, &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    if (size <= 1) {
        text->clear();
        return ERROR_SUCCESS;
    }
    std::vector<char> buffer(size + 1, 0);
    rc = RegQueryValueExA(key, name, nullptr, nullptr, reinterpret_cast<BYTE*>(buffer.data()),
                          &size);
    if (rc != ERROR_SUCCESS)
        return rc;
    buffer[size < buffer.size() ? size : buffer.size() - 1] = 0;
    text->assign(buffer.data(), strnlen(buffer.data(), size));
    return ERROR_SUCCESS;
}

LONG WriteString(HKEY key, const char* name, const char* text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

bool ReadSettingDword(const char* name, uint32_t* value, HKEY root) {
    UniqueKey key;
    return OpenSettingsKey(root, kSettingsKeyPath, key.out(), 0) == ERROR_SUCCESS &&
           ReadDword(key.get(), name, value) == ERROR_SUCCESS;
}

bool WriteSettingDword(const char* name, uint32_t value) {
    UniqueKey key;
    return OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1) == ERROR_SUCCESS &&
           WriteDword(key.get(), name, value) == ERROR_SUCCESS;
}

}  // namespace qly
