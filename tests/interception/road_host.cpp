// RoadHost; see road_host.h.
#include "tests/interception/road_host.h"

#include "app/diag/process_utils.h"
#include "app/interception/copy_data_thread.h"
#include "app/interception/hook_notices.h"
#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"
#include "app/settings/rule_engine.h"
#include "app/settings/settings_store.h"
#include "hooklib/hook_protocol.h"
#include "hooklib/qlydll.h"

namespace qly_road {

namespace {

constexpr char kKey[] = "Software\\KARNOVELDAHUS\\QUILLORY";
constexpr char kRulesKey[] = "Software\\KARNOVELDAHUS\\QUILLORY\\RULES";
constexpr UINT_PTR kPurgeTimer = 7;
constexpr UINT kPurgePeriodMs = 2000;

void PutDword(HKEY key, const char* name, uint32_t value) {
    RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

}  // namespace

void WriteSettings(const RoadSettings& s) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kKey);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != 0)
        return;
    PutDword(key, "DefaultFlags", s.default_flags);
    PutDword(key, "ReverseTray", s.reverse_tray);
    PutDword(key, "DumpAlways", s.dump_always);
    PutDword(key, "HighPriority", 0);
    PutDword(key, "LateIntercept", 0);
    RegCloseKey(key);
    HKEY rules = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kRulesKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &rules, nullptr) != 0)
        return;
    for (const auto& [name, flags] : s.rules)
        PutDword(rules, name.c_str(), flags);
    RegCloseKey(rules);
}

RoadHost::RoadHost(bool purge_timer) {
    qly::InitProcessApi();
    {
        qly::InterceptionGuard lock(qly::InterceptionLock());
        qly::LoadSettings();
    }
    qly::ConnectRuleCacheToSettings();
    m_main_ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    m_thread = std::thread([this, purge_timer] { MainLoop(purge_timer); });
    WaitForSingleObject(m_main_ready, 10000);
    if (m_main == nullptr)
        return;
    qly::SetMainWindow(m_main);
    m_receiver = qly::StartCopyDataThread(10000);
    if (m_receiver == nullptr)
        return;
    m_ready = InstallHooks(reinterpret_cast<uintptr_t>(m_receiver), kInstallGuard1, kInstallGuard2,
                           kInstallGuard3) == 1;
}

RoadHost::~RoadHost() {
    UninstallHooks();
    if (m_main)
        PostMessageA(m_main, WM_CLOSE, 0, 0);
    if (m_thread.joinable())
        m_thread.join();
    qly::SetMainWindow(nullptr);
    if (m_main_ready)
        CloseHandle(m_main_ready);
}

size_t RoadHost::Notices(WPARAM code) const {
    std::lock_guard<std::mutex> lock(m_mutex);
    auto it = m_notices.find(code);
    return it == m_notices.end() ? 0 : it->second;
}

bool RoadHost::WaitForNotice(WPARAM code, size_t count, DWORD timeout_ms) const {
    for (DWORD waited = 0;; waited += 20) {
        if (Notices(code) >= count)
            return true;
        if (waited >= timeout_ms)
            return false;
        Sleep(20);
    }
}

LRESULT CALLBACK RoadHost::MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    RoadHost* self = reinterpret_cast<RoadHost*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_USER_QLY_HOOK_MSG && self) {
        {
            std::lock_guard<std::mutex> lock(self->m_mutex);
            ++self->m_notices[wp];
        }
        qly::DispatchRegistryNotice(wp, lp);
        return 0;
    }
    if (msg == WM_TIMER && wp == kPurgeTimer && self) {
        qly::PurgeDeadItems(true);
        qly::PurgeRecentDeletions();
        ++self->m_purges;
        return 0;
    }
    if (msg == WM_CLOSE) {
        DestroyWindow(hwnd);
        return 0;
    }
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wp, lp);
}

void RoadHost::MainLoop(bool purge_timer) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = MainProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.lpszClassName = "QlyRoadHostMain";
    RegisterClassExA(&wc);
    HWND main = CreateWindowExA(0, wc.lpszClassName, "Quillory", 0, 0, 0, 0, 0, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (main) {
        SetWindowLongPtrA(main, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        if (purge_timer)
            SetTimer(main, kPurgeTimer, kPurgePeriodMs, nullptr);
    }
    m_main = main;
    SetEvent(m_main_ready);
    if (!main)
        return;
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

}  // namespace qly_road
