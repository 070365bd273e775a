// How the Tray Programs list's fill grows with the icons and rules it shows, measured in one
// run: the real page in a sheet of its own, refilled (rule lookups, the rows' order, the
// list view and its images) with 100 live icons and 100 stored rules of programs that are
// not running, then with 1,000 and 1,000. Half of the live icons have a rule of their own,
// with a special position. Prints the best of five fills of each size and the ratio
// 1,000 : 100 (aim: at most 12; a fill that compared every icon with every rule would be
// near 100).
//
// Run under Wine from the build folder, e.g.
//   scripts/wine_run.sh build/win64/wineprefix build/win64/bin/tray_programs_bench.exe
#include <windows.h>

#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "app/diag/process_utils.h"
#include "app/interception/interception_state.h"
#include "app/settings/settings_store.h"
#include "app/ui/program_state.h"
#include "app/ui/settings/settings_pages.h"
#include "hooklib/qlydll.h"
#include "hooklib/tray_item.h"
#include "resources/resource.h"

namespace {

double Now() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

void Pump() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

std::string OwnExeName() {
    char path[MAX_PATH] = "";
    GetModuleFileNameA(nullptr, path, sizeof path);
    const char* slash = std::strrchr(path, '\\');
    return slash ? slash + 1 : path;
}

// `icons` live icons of one owner window of ours, and stored rules: one with a position for
// every second icon, and `offline` for programs that are not running.
void Populate(HWND owner, size_t icons, size_t offline) {
    qly::InterceptionGuard lock(qly::InterceptionLock());
    qly::Registry().Clear();
    qly::g_rule_list.clear();
    std::vector<uint8_t> bytes(qly::kTrayItemDumpSizeWide);
    for (size_t i = 0; i < icons; ++i) {
        std::fill(bytes.begin(), bytes.end(), 0);
        auto* item = reinterpret_cast<qly::TrayItem*>(bytes.data());
        item->total_size = static_cast<uint32_t>(bytes.size());
        item->signature = qly::kShellNotifySignature;
        item->cb_size = 956 + 8;
        item->hwnd = reinterpret_cast<uintptr_t>(owner);
        item->uid = static_cast<uint32_t>(i);
        item->uflags = qly::kNifTip;
        wchar_t tip[64];
        const int n = swprintf(tip, 64, L"Program icon %zu", i);
        std::memcpy(bytes.data() + qly::kTrayItemTipW, tip, static_cast<size_t>(n) * 2);
        qly::Registry().Insert(item);
    }
    const std::string own = OwnExeName();
    for (size_t i = 0; i < icons; i += 2) {
        qly::IconRule rule;
        std::snprintf(rule.process_name, sizeof rule.process_name, "%s", own.c_str());
        rule.icon_id = static_cast<uint32_t>(i);
        rule.flags = static_cast<uint32_t>(((i / 2 + 1) << 8) | 0x3);
        qly::g_rule_list.push_back(std::move(rule));
    }
    for (size_t i = 0; i < offline; ++i) {
        qly::IconRule rule;
        std::snprintf(rule.process_name, sizeof rule.process_name, "program%04zu.exe", i);
        rule.icon_id = 1;
        rule.flags = (i % 3 == 0) ? static_cast<uint32_t>(((i + 1) << 8) | 0xC) : 0x1;
        qly::g_rule_list.push_back(std::move(rule));
    }
}

double BestFill() {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const double start = Now();
        qly::RefreshTrayProgramsPage();
        const double took = Now() - start;
        best = took < best ? took : best;
        Pump();
    }
    return best;
}

}  // namespace

int main() {
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    g_flag_WinNT = 1;
    // As the program does at start: the owner's process is named through PSAPI.
    qly::InitProcessApi();
    qly::ProgramState& app = qly::App();
    app.instance = GetModuleHandleA(nullptr);
    app.window_icon = static_cast<HICON>(LoadImageA(
        app.instance, MAKEINTRESOURCEA(IDI_WINDOW_DEFAULT), IMAGE_ICON, 16, 16, LR_SHARED));
    HWND owner = CreateWindowExA(0, "STATIC", "bench owner", WS_POPUP, 0, 0, 10, 10, nullptr,
                                 nullptr, nullptr, nullptr);

    HPROPSHEETPAGE pages[1] = {qly::CreateTrayProgramsPage()};
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS;
    header.hInstance = app.instance;
    header.pszCaption = "Tray Programs bench";
    header.nPages = 1;
    header.phpage = pages;
    const INT_PTR sheet = PropertySheetA(&header);
    if (sheet == 0 || sheet == -1) {
        std::printf("the page could not be created\n");
        return 1;
    }
    Pump();

    Populate(owner, 100, 100);
    const double small = BestFill();
    Populate(owner, 1000, 1000);
    const double large = BestFill();
    std::printf("Tray Programs list fill, best of 5:\n");
    std::printf("  100 live icons + 100 offline rules:     %8.2f ms\n", small * 1000);
    std::printf("  1,000 live icons + 1,000 offline rules: %8.2f ms\n", large * 1000);
    std::printf("  ratio 1,000 : 100 = %.1f (aim: at most 12)\n", large / small);
    std::printf(
        "summary: Tray Programs fill, 1,000+1,000 : 100+100 = %.2f (best of 5; aim <= 12) %s\n",
        large / small, large / small <= 12 ? "met" : "NOT met");
    // What one icon's owner costs to name (every rule lookup of an icon does it).
    const double start = Now();
    char path[MAX_PATH + 1];
    for (int i = 0; i < 100; ++i)
        qly::GetWindowProgramPath(owner, path, sizeof path, nullptr, nullptr);
    std::printf("  naming an icon's program: %.2f ms\n", (Now() - start) * 1000 / 100);

    DestroyWindow(reinterpret_cast<HWND>(sheet));
    DestroyWindow(owner);
    {
        qly::InterceptionGuard lock(qly::InterceptionLock());
        qly::Registry().Clear();
        qly::g_rule_list.clear();
    }
    return 0;
}
