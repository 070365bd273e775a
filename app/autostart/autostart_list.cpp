// The autostart places over the real registry and file system; see autostart_list.h.
#include "app/autostart/autostart_list.h"

#include <shlobj.h>

#include <cstring>

#include "app/autostart/program_path.h"
#include "app/autostart/shell_link.h"
#include "app/autostart/web_lookup_address.h"
#include "app/base/program_names.h"
#include "app/base/unique_handle.h"
#include "app/settings/registry_ops.h"
#include "resources/resource.h"

namespace qly {

namespace {

// Critical-error boxes ("There is no disk in the drive") suppressed while a path is probed.
class QuietErrors {
  public:
    QuietErrors() : m_old(SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX)) {}
    ~QuietErrors() { SetErrorMode(m_old); }
    QuietErrors(const QuietErrors&) = delete;
    QuietErrors& operator=(const QuietErrors&) = delete;

  private:
    UINT m_old;
};

bool IsLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

HKEY RootHandle(uint32_t root) {
    // The predefined handles are 32-bit numbers, sign-extended in a 64-bit process.
    return reinterpret_cast<HKEY>(static_cast<intptr_t>(static_cast<int32_t>(root)));
}

void DestroyIconHandle(uintptr_t handle) {
    DestroyIcon(reinterpret_cast<HICON>(handle));
}

std::wstring Wide(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    if (n <= 0)
        return std::wstring();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, &wide[0], n);
    wide.resize(static_cast<size_t>(n - 1));
    return wide;
}

std::string Ansi(const wchar_t* text, size_t length) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0)
        return std::string();
    std::string ansi(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, static_cast<int>(length), &ansi[0], n, nullptr, nullptr);
    return ansi;
}

// The value's data as the list shows it: the text up to its first zero, whatever its type.
std::string TextOfBytes(const uint8_t* data, size_t size) {
    const char* text = reinterpret_cast<const char*>(data);
    return std::string(text, strnlen(text, size));
}

// The same for data read through the UTF-16 interface, where strings are UTF-16.
std::string TextOfValue(uint32_t type, const std::vector<uint8_t>& data) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ)
        return TextOfBytes(data.data(), data.size());
    std::wstring wide(data.size() / sizeof(wchar_t), L'\0');
    if (!wide.empty())
        std::memcpy(&wide[0], data.data(), wide.size() * sizeof(wchar_t));
    return Ansi(wide.c_str(), wcsnlen(wide.c_str(), wide.size()));
}

class SystemPlaces final : public AutostartPlaces {
  public:
    bool ListValues(uint32_t root,
                    const std::string& key,
                    std::vector<ListedValue>* values) override {
        // Read access is enough to show a key: a user who may not change the machine's Run
        // key still learns what it starts.
        UniqueKey k;
        if (RegOpenKeyExA(RootHandle(root), key.c_str(), 0, KEY_READ, k.out()) != ERROR_SUCCESS)
            return false;
        DWORD max_name = 0;
        DWORD max_data = 0;
        RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &max_name, &max_data, nullptr, nullptr);
        // Names of double-byte characters take up to two bytes each in 8-bit text.
        std::vector<char> name(2 * static_cast<size_t>(max_name) + 2);
        constexpr size_t kLongestName = 2 * 16383 + 2;
        std::vector<uint8_t> data(static_cast<size_t>(max_data) + 2);
        int growths = 0;
        for (DWORD index = 0;;) {
            DWORD name_size = static_cast<DWORD>(name.size());
            DWORD data_size = static_cast<DWORD>(data.size());
            const LONG rc = RegEnumValueA(k.get(), index, name.data(), &name_size, nullptr, nullptr,
                                          data.data(), &data_size);
            if (rc == ERROR_MORE_DATA) {
                // The value grew since the key was measured: make room and read it again;
                // one that keeps outgrowing the room is left out, not the rest of the key.
                if (++growths > 4) {
                    ++index;
                    growths = 0;
                    continue;
                }
                name.resize(kLongestName);
                data.resize(data_size >= data.size() ? data_size + 2 : data.size() * 2);
                continue;
            }
            if (rc != ERROR_SUCCESS)
                break;
            values->push_back(ListedValue{std::string(name.data(), strnlen(name.data(), name_size)),
                                          TextOfBytes(data.data(), data_size)});
            ++index;
            growths = 0;
        }
        return true;
    }

    bool ReadValue(uint32_t root,
                   const std::string& key,
                   const std::string& name,
                   MovedValue* value) override {
        UniqueKey k;
        if (RegOpenKeyExA(RootHandle(root), key.c_str(), 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                          k.out()) != ERROR_SUCCESS)
            return false;
        const std::wstring wide = Wide(name);
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD type = 0;
            DWORD size = 0;
            if (RegQueryValueExW(k.get(), wide.c_str(), nullptr, &type, nullptr, &size) !=
                ERROR_SUCCESS)
                return false;
            std::vector<uint8_t> data(size);
            const LONG rc = RegQueryValueExW(k.get(), wide.c_str(), nullptr, &type,
                                             data.empty() ? nullptr : data.data(), &size);
            if (rc == ERROR_MORE_DATA)
                continue;  // it grew in between
            if (rc != ERROR_SUCCESS)
                return false;
            data.resize(size);
            value->type = type;
            value->text = TextOfValue(type, data);
            value->data = std::move(data);
            return true;
        }
        return false;
    }

    bool ReadValueText(uint32_t root,
                       const std::string& key,
                       const std::string& name,
                       std::string* text) override {
        UniqueKey k;
        return RegOpenKeyExA(RootHandle(root), key.c_str(), 0, KEY_QUERY_VALUE, k.out()) ==
                   ERROR_SUCCESS &&
               ReadStringAlloc(k.get(), name.c_str(), text) == ERROR_SUCCESS;
    }

    bool ValueExists(uint32_t root, const std::string& key, const std::string& name) override {
        UniqueKey k;
        if (RegOpenKeyExA(RootHandle(root), key.c_str(), 0, KEY_QUERY_VALUE, k.out()) !=
            ERROR_SUCCESS)
            return false;
        const LONG rc =
            RegQueryValueExW(k.get(), Wide(name).c_str(), nullptr, nullptr, nullptr, nullptr);
        return rc == ERROR_SUCCESS || rc == ERROR_MORE_DATA;
    }

    bool CreateKey(uint32_t root, const std::string& key) override {
        UniqueKey k;
        return RegCreateKeyExA(RootHandle(root), key.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                               k.out(), nullptr) == ERROR_SUCCESS;
    }

    bool WriteValue(uint32_t root,
                    const std::string& key,
                    const std::string& name,
                    const MovedValue& value) override {
        UniqueKey k;
        if (RegOpenKeyExA(RootHandle(root), key.c_str(), 0, KEY_SET_VALUE, k.out()) !=
            ERROR_SUCCESS)
            return false;
        return RegSetValueExW(k.get(), Wide(name).c_str(), 0, value.type,
                              value.data.empty() ? nullptr : value.data.data(),
                              static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
    }

    bool DeleteValue(uint32_t root, const std::string& key, const std::string& name) override {
        UniqueKey k;
        return RegOpenKeyExA(RootHandle(root), key.c_str(), 0, KEY_SET_VALUE, k.out()) ==
                   ERROR_SUCCESS &&
               RegDeleteValueW(k.get(), Wide(name).c_str()) == ERROR_SUCCESS;
    }

    bool StartupFolder(bool common, std::string* path) override {
        LPITEMIDLIST list = nullptr;
        if (FAILED(SHGetSpecialFolderLocation(
                nullptr, common ? CSIDL_COMMON_STARTUP : CSIDL_STARTUP, &list)) ||
            list == nullptr)
            return false;
        char folder[MAX_PATH] = {};
        const bool found = SHGetPathFromIDListA(list, folder) != FALSE && folder[0] != 0;
        CoTaskMemFree(list);
        if (found)
            *path = folder;
        return found;
    }

    bool IsFolder(const std::string& path) override {
        const std::string expanded = ExpandAutostartPath(path);
        QuietErrors quiet;
        const DWORD attributes = GetFileAttributesA(expanded.c_str());
        return !expanded.empty() && attributes != INVALID_FILE_ATTRIBUTES &&
               (attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::vector<std::string> ListFolder(const std::string& path) override {
        std::vector<std::string> names;
        const std::string pattern = ExpandAutostartPath(path) + "\\*.*";
        QuietErrors quiet;
        WIN32_FIND_DATAA found = {};
        HANDLE search = FindFirstFileA(pattern.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            names.emplace_back(found.cFileName);
        while (FindNextFileA(search, &found));
        FindClose(search);
        return names;
    }

    std::string ResolveFile(const std::string& path, OwnedIcon* icon) override {
        ShellLinkInfo info;
        UniqueIcon found(ResolveShellLink(path.c_str(), &info, true));
        if (icon != nullptr && found)
            *icon = OwnedIcon(reinterpret_cast<uintptr_t>(found.release()), &DestroyIconHandle);
        return info.target;
    }

    bool EnsureDirectory(const std::string& path) override {
        return qly::EnsureDirectory(path.c_str());
    }

    bool MoveItem(const std::string& from, const std::string& to) override {
        QuietErrors quiet;
        if (GetFileAttributesA(to.c_str()) != INVALID_FILE_ATTRIBUTES)
            return false;
        return MoveFileA(from.c_str(), to.c_str()) != FALSE;
    }

    OwnedIcon GroupIcon(AutostartSource::Kind kind) override {
        const int id =
            kind == AutostartSource::Kind::kRegistry ? IDI_REGISTRY_GROUP : IDI_FOLDER_GROUP;
        // Shared: the system keeps it, nobody destroys it.
        HANDLE icon = LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), IMAGE_ICON, 0, 0,
                                 LR_DEFAULTSIZE | LR_SHARED);
        return OwnedIcon(reinterpret_cast<uintptr_t>(icon), nullptr);
    }

    std::string FindOnSearchPath(const std::string& command) override {
        if (command.empty())
            return std::string();
        char found[1024] = {};
        const DWORD n =
            SearchPathA(nullptr, command.c_str(), nullptr, sizeof found, found, nullptr);
        return n > 0 && n < sizeof found ? std::string(found, n) : std::string();
    }
};

AutostartList& TheList() {
    static AutostartList list;
    return list;
}

std::string LongPath(const std::string& path) {
    char buffer[2048] = {};
    const DWORD n = GetLongPathNameA(path.c_str(), buffer, sizeof buffer);
    return n > 0 && n < sizeof buffer ? std::string(buffer, n) : std::string();
}

std::u16string DecodeAnsi(std::string_view ansi) {
    if (ansi.empty())
        return std::u16string();
    const int size = static_cast<int>(ansi.size());
    const int n = MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, nullptr, 0);
    if (n <= 0)
        return std::u16string();
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), size, &wide[0], n);
    return std::u16string(wide.begin(), wide.end());
}

std::string WebLookupHostSetting() {
    UniqueKey key;
    std::string host;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKeyPath, 0, KEY_QUERY_VALUE, key.out()) ==
        ERROR_SUCCESS)
        ReadStringAlloc(key.get(), kWebLookupHostValue, &host);
    return host;
}

}  // namespace

AutostartPlaces& SystemAutostartPlaces() {
    static SystemPlaces places;
    return places;
}

void EnumerateAutostart() {
    TheList().Enumerate(SystemAutostartPlaces());
}

const std::vector<std::unique_ptr<AutostartEntry>>& AutostartEntries() {
    return TheList().entries();
}

bool SetAutostartEnabled(AutostartEntry& entry, bool enable) {
    return entry.setEnabled(enable, SystemAutostartPlaces());
}

std::string AutostartExecutablePath(AutostartEntry& entry, bool raw) {
    return entry.executablePath(raw, SystemAutostartPlaces());
}

bool EnsureDirectory(const char* path) {
    QuietErrors quiet;
    const DWORD attributes = GetFileAttributesA(path);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return true;
    return CreateDirectoryA(path, nullptr) != FALSE;
}

std::string ExpandAutostartPath(const std::string& path) {
    char expanded[MAX_PATH] = {};
    const DWORD n = ExpandEnvironmentStringsA(path.c_str(), expanded, sizeof expanded);
    return n > 0 && n <= sizeof expanded ? std::string(expanded) : std::string();
}

bool AutostartPathExists(const std::string& path) {
    const std::string expanded = ExpandAutostartPath(path);
    QuietErrors quiet;
    return !expanded.empty() && GetFileAttributesA(expanded.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ExtractProgramPath(const std::string& command, std::string* path) {
    PathProbe probe;
    probe.expand = ExpandAutostartPath;
    probe.exists = [](const std::string& expanded) {
        QuietErrors quiet;
        return GetFileAttributesA(expanded.c_str()) != INVALID_FILE_ATTRIBUTES;
    };
    probe.is_lead_byte = IsLeadByte;
    return ExtractProgramPath(command, probe, path);
}

std::vector<std::string> WebLookupAddresses(AutostartEntry& entry) {
    std::string path = AutostartExecutablePath(entry, false);
    const std::string long_form = LongPath(path);
    if (!long_form.empty())
        path = long_form;
    std::string extracted;
    if (!AutostartPathExists(path) && ExtractProgramPath(path, &extracted))
        path = extracted;
    const std::string host = WebLookupHostSetting();
    const std::string file_name(FileNamePart(path, true, IsLeadByte));
    return {WebLookupAddress(host, file_name, DecodeAnsi),
            WebLookupAddress(host, entry.displayName(), DecodeAnsi)};
}

}  // namespace qly
