// The small registry operations every part of the program uses for its own values, and the
// key paths of the settings. Each returns the Win32 error code (0 = success); a failed read
// leaves the caller's variable as it was. UniqueKey closes what it holds.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

extern const char kSettingsKeyPath[];  // "Software\KARNOVELDAHUS\QUILLORY"

class UniqueKey {
  public:
    UniqueKey() = default;
    explicit UniqueKey(HKEY key) : m_key(key) {}
    ~UniqueKey() { reset(); }
    UniqueKey(UniqueKey&& other) noexcept : m_key(other.release()) {}
    UniqueKey& operator=(UniqueKey&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;

    HKEY get() const { return m_key; }
    HKEY* out() {
        reset();
        return &m_key;
    }
    explicit operator bool() const { return m_key != nullptr; }
    HKEY release() {
        HKEY k = m_key;
        m_key = nullptr;
        return k;
    }
    void reset(HKEY key = nullptr) {
        if (m_key)
            RegCloseKey(m_key);
        m_key = key;
    }

  private:
    HKEY m_key = nullptr;
};

// Opens `path` under `root` with full access; when that fails and `create` is non-zero,
// creates it.
LONG OpenSettingsKey(HKEY root, const char* path, HKEY* key, int create);

// Reads a 4-byte value of any type. A value of another size is a failure.
LONG ReadDword(HKEY key, const char* name, uint32_t* value);
LONG WriteDword(HKEY key, const char* name, uint32_t value);
LONG ReadRaw(HKEY key, const char* name, void* buffer, DWORD* size);
// Reads a string value of any length; a missing terminator is supplied and the text ends at
// the first zero. An empty or one-byte value is an empty string and success.
LONG ReadStringAlloc(HKEY key, const char* name, std::string* text);
LONG WriteString(HKEY key, const char* name, const char* text);
