// The stand-in shell's tray window: "Shell_TrayWnd" with its notification window, pagers,
// icon toolbar(s) and balloon tooltip, the icons it shows (one toolbar button each, whose
// dwData points to a ButtonRecord in this process), the notify requests it accepts and the
// callbacks it sends. The toolbar is the authority on order: code injected into the shell
// may move buttons, so every listing walks the toolbar, never the icon list.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "tools/trayhost/button_record.h"
#include "tools/trayhost/shell_request.h"

namespace trayhost {

enum class Layout { kPager2, kPager1, kFlat };
const char* LayoutName(Layout layout);

struct Options {
    Layout layout = Layout::kPager2;
    bool xp = true;                // new buttons go to the front, as from Windows XP on
    bool balloon = true;           // create the balloon tooltip
    bool start_tray = true;        // create the tray window at start
    std::wstring preload;          // a DLL to load at start and free on request
    int system_icons = 0;          // buttons of the shell's own in "System Control Area" (pager2)
    bool foreign_toolbar = false;  // a toolbar whose buttons carry no tray records (README)
};

class TrayWindow {
  public:
    explicit TrayWindow(const Options& options);
    ~TrayWindow();
    TrayWindow(const TrayWindow&) = delete;
    TrayWindow& operator=(const TrayWindow&) = delete;

    // Creates the window hierarchy and broadcasts "TaskbarCreated". True when it exists.
    bool Create();
    // Destroys the windows; every icon is forgotten, as when the shell ends.
    void Destroy();
    bool Exists() const { return m_tray != nullptr; }

    // Sends the owner of button `index` of the icon toolbar the callbacks of a mouse message.
    bool Click(int index, UINT mouse_message);
    // Writes the state file (UTF-8), see README.md.
    bool WriteState(const std::string& path) const;

  private:
    struct Icon {
        ButtonRecord record{};  // what the button's dwData points to
        int command_id = 0;
        int image = -1;
        std::wstring tip;
    };

    static LRESULT CALLBACK TrayProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK PlainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT CALLBACK
    ToolbarProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR id, DWORD_PTR self);
    LRESULT OnCopyData(WPARAM sender, const COPYDATASTRUCT* cds);
    BOOL Apply(const ShellRequest& request);
    BOOL Add(const ShellRequest& request);
    BOOL Modify(const ShellRequest& request);
    BOOL Delete(const ShellRequest& request);
    BOOL SetFocus(const ShellRequest& request);
    BOOL SetVersion(const ShellRequest& request);

    Icon* Find(uint64_t owner, uint32_t uid);
    Icon* FromButtonData(DWORD_PTR data) const;
    int IndexOf(const Icon& icon) const;
    void SetImage(Icon& icon, const ShellRequest& request);
    void SetTip(Icon& icon, const std::u16string& tip);
    void SetHidden(const Icon& icon, bool hidden);
    void ShowBalloon(const Icon& icon, const ShellRequest& request);
    // Closes the balloon; its icon's owner gets `reason` (NIN_BALLOONHIDE or NIN_BALLOONTIMEOUT).
    void HideBalloon(UINT reason);
    void BalloonEvent(const Icon& icon, UINT event) const;
    void SendCallbacks(const Icon& icon, HWND toolbar, int index, UINT mouse_message) const;
    void Layout();
    void AddSystemIcons();
    void AddForeignToolbar(HINSTANCE inst, DWORD style);

    Options m_options;
    HWND m_tray = nullptr;
    HWND m_notify = nullptr;
    HWND m_pager1 = nullptr;
    HWND m_pager2 = nullptr;
    HWND m_toolbar = nullptr;
    HWND m_toolbar2 = nullptr;
    HWND m_tooltip = nullptr;
    HWND m_foreign = nullptr;
    // Three pages behind the foreign toolbar's data: readable, no access, guard page. Never
    // touched by trayhost itself.
    uint8_t* m_foreign_pages = nullptr;
    HIMAGELIST m_images = nullptr;
    std::vector<std::unique_ptr<Icon>> m_icons;
    // The shell's own buttons in the second toolbar; no request reaches them.
    std::vector<std::unique_ptr<Icon>> m_system_icons;
    std::vector<int> m_free_images;
    const ButtonRecord* m_balloon = nullptr;  // the icon whose balloon is up
    int m_next_command = 1;
    UINT m_taskbar_created = 0;
};

}  // namespace trayhost
