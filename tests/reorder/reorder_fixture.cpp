// The tray order's Wine fixture; see reorder_fixture.h.
#include "tests/reorder/reorder_fixture.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "app/diag/log.h"
#include "app/interception/interception_state.h"

namespace qly_reorder_test {

std::string RuleName(uint32_t id) {
    char name[160];
    std::snprintf(name, sizeof name, "%08x%s", id, kClient);
    return name;
}

void Reorder::StartTrayFirst(const std::wstring& tray_switches) {
    m_tray = std::make_unique<qly_test::TrayHost>(tray_switches);
    ASSERT_TRUE(m_tray->Started());
    m_owners = std::make_unique<qly_road::ForeignOwners>(std::vector<std::string>{"a", "b", "c"});
    ASSERT_NE(A(), nullptr);
    ASSERT_NE(B(), nullptr);
}

void Reorder::StartHost(const qly_road::RoadSettings& settings) {
    qly_road::WriteSettings(settings);
    m_host = std::make_unique<qly_road::RoadHost>();
    ASSERT_TRUE(m_host->Ready()) << "receiver, main window or hook missing";
}

void Reorder::OpenTestLog(uint32_t flags) {
    m_log_folder = qly_road::TempFile("reorderlog") + "\\";
    ASSERT_TRUE(CreateDirectoryA(m_log_folder.c_str(), nullptr));
    ASSERT_TRUE(qly::OpenLog(m_log_folder, flags));
}

std::string Reorder::LogText() {
    qly::CloseLog();
    std::ifstream in(m_log_folder + "QUILLORY.LOG", std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<uint32_t> Reorder::RegistryOrder() const {
    std::vector<uint32_t> out;
    for (const qly_road::Icon& i : Registered())
        out.push_back(i.uid);
    return out;
}

std::vector<uint32_t> Reorder::ShownOrder() const {
    std::vector<uint32_t> out;
    for (const qly_test::TrayButton& b : m_tray->State().Toolbar(1))
        if (!b.hidden)
            out.push_back(b.uid);
    return out;
}

}  // namespace qly_reorder_test
