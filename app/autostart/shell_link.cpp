// CreateShellLink and ResolveShellLink; see shell_link.h.
#include "app/autostart/shell_link.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include "app/autostart/shell_link_name.h"

namespace qly {

namespace {

// Owns one COM interface pointer.
template <typename Interface>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() {
        if (m_p)
            m_p->Release();
    }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    Interface* operator->() const { return m_p; }
    Interface* get() const { return m_p; }
    void** out() { return reinterpret_cast<void**>(&m_p); }

  private:
    Interface* m_p = nullptr;
};

class ComScope {
  public:
    explicit ComScope(bool initialise)
        : m_initialised(initialise && SUCCEEDED(CoInitialize(nullptr))) {}
    ~ComScope() {
        if (m_initialised)
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    bool m_initialised;
};

class CriticalErrorsQuiet {
  public:
    CriticalErrorsQuiet() : m_old(SetErrorMode(SEM_FAILCRITICALERRORS)) {}
    ~CriticalErrorsQuiet() { SetErrorMode(m_old); }
    CriticalErrorsQuiet(const CriticalErrorsQuiet&) = delete;
    CriticalErrorsQuiet& operator=(const CriticalErrorsQuiet&) = delete;

  private:
    UINT m_old;
};

bool ToWide(const char* text, WCHAR* out, int size) {
    return MultiByteToWideChar(CP_ACP, 0, text, -1, out, size) != 0;
}

HICON ShellFileIcon(const char* path, ShellLinkInfo* info) {
    SHFILEINFOA sfi = {};
    if (!SHGetFileInfoA(path, 0, &sfi, sizeof sfi, SHGFI_ICON | SHGFI_SMALLICON | SHGFI_ATTRIBUTES))
        return nullptr;
    if (info != nullptr && (sfi.dwAttributes & SFGAO_FOLDER))
        info->find_data.dwFileAttributes |= FILE_ATTRIBUTE_DIRECTORY;
    return sfi.hIcon;
}

}  // namespace

HRESULT CreateShellLink(const char* target,
                        const char* arguments,
                        const char* link_path,
                        const char* description,
                        const char* icon_file,
                        int icon_index,
                        std::string* saved_path) {
    const std::string save_path = ShellLinkSavePath(link_path);
    ComPtr<IShellLinkA> link;
    HRESULT hr = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  link.out());
    if (FAILED(hr))
        return hr;
    link->SetPath(target);
    link->SetArguments(arguments);
    link->SetDescription(description);
    if (icon_file != nullptr)
        link->SetIconLocation(icon_file, icon_index);
    ComPtr<IPersistFile> file;
    hr = link->QueryInterface(IID_IPersistFile, file.out());
    if (FAILED(hr))
        return hr;
    WCHAR wide[MAX_PATH] = {};
    if (!ToWide(save_path.c_str(), wide, MAX_PATH))
        return E_INVALIDARG;
    hr = file->Save(wide, TRUE);
    if (SUCCEEDED(hr) && saved_path != nullptr)
        *saved_path = ShellLinkSavedPath(save_path, target);
    return hr;
}

HICON ResolveShellLink(const char* path, ShellLinkInfo* info, bool initialise_com) {
    CriticalErrorsQuiet quiet;
    ComScope com(initialise_com);
    if (info != nullptr)
        *info = ShellLinkInfo{};
    HICON icon = nullptr;
    ComPtr<IShellLinkA> link;
    ComPtr<IPersistFile> file;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                link.out())) ||
        FAILED(link->QueryInterface(IID_IPersistFile, file.out())))
        return nullptr;
    WCHAR wide[MAX_PATH] = {};
    if (!ToWide(path, wide, MAX_PATH) || FAILED(file->Load(wide, 0))) {
        // No shortcut: the path stands for itself.
        icon = ShellFileIcon(path, info);
        if (info != nullptr)
            info->target = path;
        return icon;
    }
    if (info != nullptr) {
        char text[MAX_PATH] = {};
        link->GetHotkey(&info->hotkey);
        if (SUCCEEDED(link->GetWorkingDirectory(text, MAX_PATH)))
            info->working_directory = text;
        text[0] = 0;
        if (SUCCEEDED(link->GetArguments(text, MAX_PATH)))
            info->arguments = text;
    }
    char icon_file[MAX_PATH] = {};
    int icon_index = 0;
    if (FAILED(link->GetIconLocation(icon_file, MAX_PATH, &icon_index)))
        return nullptr;
    char target[MAX_PATH] = {};
    WIN32_FIND_DATAA found = {};
    link->GetPath(target, MAX_PATH, &found, SLGP_SHORTPATH | SLGP_UNCPRIORITY);
    if (icon_file[0] == 0) {
        lstrcpynA(icon_file, target, MAX_PATH);
        icon_index = 0;
    }
    // The find data may claim a folder for a target that is a file; the file system knows.
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && target[0] != 0) {
        WIN32_FIND_DATAA real = {};
        HANDLE search = FindFirstFileA(target, &real);
        if (search != INVALID_HANDLE_VALUE) {
            FindClose(search);
            if (!(real.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                found.dwFileAttributes &= ~static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY);
        }
    }
    if (info != nullptr) {
        info->target = target;
        info->find_data = found;
    }
    HICON large_icon = nullptr;
    HICON small_icon = nullptr;
    ExtractIconExA(icon_file, icon_index, &large_icon, &small_icon, 1);
    if (small_icon != nullptr) {
        if (large_icon != nullptr)
            DestroyIcon(large_icon);
        return small_icon;
    }
    if (large_icon != nullptr)
        return large_icon;
    return ShellFileIcon(icon_file, nullptr);
}

}  // namespace qly
