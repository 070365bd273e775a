// The rule engine's environment over the icon registry; see tray_rule_environment.h.
#include "app/interception/tray_rule_environment.h"

#include "app/interception/interception_state.h"
#include "app/interception/special_tray_ops.h"

namespace qly {

namespace {

class TrayRuleEnvironment : public PlatformRuleEnvironment {
  public:
    std::vector<std::vector<uint8_t>> StoredRequests(
        const std::function<bool(const TrayItem&)>& wanted) override {
        std::vector<std::vector<uint8_t>> copies;
        InterceptionGuard lock(InterceptionLock());
        for (const TrayItem* stored : Registry().Items()) {
            if (!wanted(*stored))
                continue;
            const uint8_t* b = reinterpret_cast<const uint8_t*>(stored);
            copies.emplace_back(b, b + stored->total_size);
        }
        return copies;
    }
    void SendToTray(const TrayItem* item, uint32_t command) override {
        SendStoredToTray(item, command, true, SMTO_NORMAL, kReplayTimeoutMs);
    }
};

}  // namespace

void InstallTrayRuleEnvironment() {
    static TrayRuleEnvironment environment;
    InstallDefaultRuleEnvironment(&environment);
}

}  // namespace qly
