// Test-side requests for the main program's receiver: a shell request built byte by byte
// (tools/notifyclient's wire helpers), made into the record the hook forwards by the hook
// library's own builder, plus an icon-handle fake that counts what is still alive.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/interception/tray_registry.h"
#include "hooklib/forward_record.h"
#include "tools/notifyclient/notify_wire.h"

namespace qly_interception_test {

using qly::TrayItem;

constexpr uint64_t kTray = 0x10010;    // the shell's tray window in these tests
constexpr uint64_t kSender = 0x20020;  // the window that sent the shell's request

struct Request {
    uint32_t command = notify_wire::kAdd;
    uint32_t owner = 0x4400;
    uint32_t uid = 1;
    uint32_t flags = notify_wire::kFlagMessage | notify_wire::kFlagTip;
    uint32_t callback = 0x8001;
    uint32_t icon = 0;
    std::string tip;
    uint32_t state = 0;
    uint32_t state_mask = 0;
    uint32_t version = 0;
    uint32_t size = notify_wire::kSizeFull;
};

inline std::vector<uint8_t> Payload(const Request& r) {
    notify_wire::NotifyFields f;
    f.command = r.command;
    f.hwnd = r.owner;
    f.uid = r.uid;
    f.flags = r.flags;
    f.callback_message = r.callback;
    f.icon = r.icon;
    f.tip = notify_wire::Utf8ToUtf16(r.tip);
    f.state = r.state;
    f.state_mask = r.state_mask;
    f.timeout_or_version = r.version;
    return notify_wire::BuildPayload(f, r.size);
}

inline std::vector<uint8_t> Forward(const Request& r) {
    const std::vector<uint8_t> payload = Payload(r);
    std::vector<uint8_t> out(qly::kMaxForwardRecord);
    const size_t n =
        qly::BuildForwardRecord(kSender, 1, payload.data(), payload.size(), out.data(), out.size());
    out.resize(n);
    return out;
}

inline const TrayItem* AsItem(const std::vector<uint8_t>& bytes) {
    return reinterpret_cast<const TrayItem*>(bytes.data());
}

// Hands out fresh numbers for copies and remembers which ones are still alive; a copy of
// 0 fails, as SpecialCopyIcon of a null icon does.
class CountingIcons : public qly::IconOps {
  public:
    uint64_t Copy(uint64_t icon) override {
        if (icon == 0)
            return 0;
        const uint64_t copy = m_next++;
        m_alive.insert(copy);
        m_source[copy] = icon;
        return copy;
    }
    void Destroy(uint64_t icon) override {
        if (!m_alive.erase(icon))
            ++m_bad_destroys;
    }
    size_t Alive() const { return m_alive.size(); }
    int BadDestroys() const { return m_bad_destroys; }
    uint64_t SourceOf(uint64_t copy) const {
        auto it = m_source.find(copy);
        return it == m_source.end() ? 0 : it->second;
    }

  private:
    uint64_t m_next = 0x9000;
    std::set<uint64_t> m_alive;
    std::map<uint64_t, uint64_t> m_source;
    int m_bad_destroys = 0;
};

}  // namespace qly_interception_test
