// RoadHost: the main program's side of the road of a notification, hosted in a test or
// benchmark process until the program's own start-up exists. It loads the settings and
// rules from the registry, starts CopyDataThread, runs a stand-in main window on a thread
// of its own (it hears the hook's notices and the registry's change notices, runs the purge
// timer every 2000 ms and answers code 5 with a replay), and installs the CBT hook, so
// that an owner's request goes trayhost -> hook -> receiver -> registry and rules -> answer.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace qly_road {

// Settings the road reads; written to the per-user key before LoadSettings.
struct RoadSettings {
    uint32_t default_flags = 3;
    uint32_t reverse_tray = 0;
    uint32_t dump_always = 0;
    // Stored rules: value name ("%08x%s") -> flags word.
    std::map<std::string, uint32_t> rules;
};

// Replaces the settings key with exactly these values (and high priority off).
void WriteSettings(const RoadSettings& settings);

class RoadHost {
  public:
    explicit RoadHost(bool purge_timer = true);
    ~RoadHost();
    RoadHost(const RoadHost&) = delete;
    RoadHost& operator=(const RoadHost&) = delete;

    bool Ready() const { return m_ready; }
    HWND MainWindow() const { return m_main; }
    HWND Receiver() const { return m_receiver; }
    // How often the main window heard each hook code.
    size_t Notices(WPARAM code) const;
    bool WaitForNotice(WPARAM code, size_t count, DWORD timeout_ms) const;
    size_t PurgeRuns() const { return m_purges; }

  private:
    static LRESULT CALLBACK MainProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void MainLoop(bool purge_timer);

    std::thread m_thread;
    HWND m_main = nullptr;
    HWND m_receiver = nullptr;
    HANDLE m_main_ready = nullptr;
    bool m_ready = false;
    mutable std::mutex m_mutex;
    std::map<WPARAM, size_t> m_notices;
    std::atomic<size_t> m_purges{0};
};

}  // namespace qly_road
