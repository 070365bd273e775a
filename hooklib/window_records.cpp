// Shows again the windows the main program took to the tray and could not bring back itself
// because it died: from the records it keeps in the registry while they are hidden. Runs in
// the shell (when the library's watcher sees the program end) and in the program's next
// start. Every record is another process's data: checked first, and a window that is gone,
// visible again, or now belongs to another process (a reused handle) is left untouched.
#include <windows.h>

#include "hooklib/minimized_record.h"
#include "hooklib/process_state.h"
#include "hooklib/qlydll.h"
#include "hooklib/window_records.h"

namespace qly {

namespace {

// The window is the one recorded: it exists, hides, and belongs to the recorded process,
// whose start time shows it is not a later process under a reused id.
bool SameWindow(const MinimizedWindowRecord& r) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(r.window));
    if (!IsWindow(window) || IsWindowVisible(window))
        return false;
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != r.process_id)
        return false;
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, owner);
    if (!process)
        return false;
    const uint64_t started = ProcessStartTime(process);
    CloseHandle(process);
    return started != 0 && started == r.process_start;
}

void ShowAgain(const MinimizedWindowRecord& r) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(r.window));
    WINDOWPLACEMENT placement = {};
    placement.length = sizeof placement;
    placement.flags = WPF_ASYNCWINDOWPLACEMENT;
    if (r.show_command == SW_SHOWMAXIMIZED)
        placement.flags |= WPF_RESTORETOMAXIMIZED;
    placement.showCmd = RestoreShowCommand(r);
    placement.ptMinPosition = {r.min_position[0], r.min_position[1]};
    placement.ptMaxPosition = {r.max_position[0], r.max_position[1]};
    placement.rcNormalPosition = {r.normal_rect[0], r.normal_rect[1], r.normal_rect[2],
                                  r.normal_rect[3]};
    // The window was minimised before it was hidden: the placement brings it out of both.
    if (!SetWindowPlacement(window, &placement))
        ShowWindowAsync(window, SW_SHOWNOACTIVATE);
}

}  // namespace

int RestoreRecordedWindows() {
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kMinimizedWindowsKeyPath, 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return 0;
    int shown = 0;
    // Read by index, never deleted one by one: a value that is not ours (a long name, the
    // wrong size or type) is skipped and cannot hold up the records behind it. The key goes
    // as a whole afterwards.
    for (DWORD index = 0; index < 4096; ++index) {
        char name[64];
        DWORD name_size = sizeof name;
        unsigned char data[sizeof(MinimizedWindowRecord) + 1];
        DWORD data_size = sizeof data;
        DWORD type = 0;
        const LONG read =
            RegEnumValueA(key, index, name, &name_size, nullptr, &type, data, &data_size);
        if (read == ERROR_NO_MORE_ITEMS)
            break;
        MinimizedWindowRecord record;
        if (read == ERROR_SUCCESS && type == REG_BINARY &&
            DecodeMinimizedRecord(data, data_size, &record) && SameWindow(record)) {
            ShowAgain(record);
            ++shown;
        }
    }
    RegCloseKey(key);
    RegDeleteKeyA(HKEY_CURRENT_USER, kMinimizedWindowsKeyPath);
    return shown;
}

}  // namespace qly

extern "C" QLYDLL_API int __stdcall RestoreMinimizedWindowRecords() {
    return qly::RestoreRecordedWindows();
}
