// The tray order under Wine: trayhost plays the shell, notifyclient owns the icons, and the
// road's host is the main program. Besides the road's own start (host, then tray), a tray
// can be started and filled before the host exists, as a shell that already shows icons
// when the program takes it over. Helpers read the log and the registry's order.
#pragma once

#include <string>
#include <vector>

#include "tests/interception/road_fixture.h"

namespace qly_reorder_test {

constexpr char kClient[] = "notifyclient.exe";

// The stored rule's value name for an icon of notifyclient.
std::string RuleName(uint32_t id);
// A rule flags word: shown in tray and menu, with a special position (0: none).
inline uint32_t ShownAt(uint32_t position) {
    return 0x3 | (position << 8);
}

class Reorder : public qly_road::Road {
  protected:
    // Trayhost and the owners a, b, c first, without interception; then StartHost().
    // The orders these tests expect count on a shell that appends new buttons.
    void StartTrayFirst(const std::wstring& tray_switches = qly_test::kAppendNewButtons);
    void StartHost(const qly_road::RoadSettings& settings);

    // Opens the log in a fresh folder with FlagLog `flags`; LogText() closes it and reads it.
    void OpenTestLog(uint32_t flags);
    std::string LogText();

    std::vector<uint32_t> RegistryOrder() const;
    // uIDs of toolbar 1 that the tray shows (hidden buttons left out).
    std::vector<uint32_t> ShownOrder() const;

    std::string m_log_folder;
};

}  // namespace qly_reorder_test
