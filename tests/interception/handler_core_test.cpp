// What the receiver answers the hook and what it leaves in the registry, for every kind of
// request: hidden and visible icons, late changes racing with a deletion, changes of
// another record size, the order answers (reversed, sorted by the dump), ids the program
// reserves for itself, foreign messages and records that do not hold what they claim, and
// the log lines. The rules come from a table here; the real rule engine is tested apart.
#include <gtest/gtest.h>

#include <cstring>
#include <map>

#include "app/interception/copy_data_handler.h"
#include "hooklib/hook_protocol.h"
#include "tests/interception/forward_builder.h"

namespace qly_interception_test {

using namespace qly;  // the shared records and the code under test
namespace {

using notify_wire::kAdd;
using notify_wire::kDelete;
using notify_wire::kModify;

class RecordingLog : public qly::HandlerLog {
  public:
    uint32_t flags = 0;
    std::vector<std::string> lines;
    uint32_t Flags() const override { return flags; }
    void Write(const std::string& line) override { lines.push_back(line); }
    std::string OwnerProgram(uint64_t) override { return "owner.exe"; }
    std::string OwnerText(uint64_t) override { return "CLASS:OwnerClass"; }
};

class Handler : public ::testing::Test {
  protected:
    Handler() : m_recent([this] { return m_now; }) {
        m_env.lookup = [this](uint64_t hwnd, uint32_t uid, TrayItem*) {
            auto it = m_rules.find({static_cast<uint32_t>(hwnd), uid});
            qly::RuleAnswer a;
            a.flags = it == m_rules.end() ? (m_env.default_flags | 12) : it->second;
            a.validity = 3;
            return a;
        };
        m_env.shell_tray = kTray;
        m_env.log = &m_log;
    }

    uint32_t Send(const Request& r) {
        const std::vector<uint8_t> rec = Forward(r);
        return qly::HandleForward(m_env, kTray, qly::ForwardTag, rec.data(), rec.size()).reply;
    }
    uint32_t Send(uint32_t command,
                  uint32_t uid,
                  uint32_t flags = notify_wire::kFlagMessage | notify_wire::kFlagTip) {
        Request r;
        r.command = command;
        r.uid = uid;
        r.flags = flags;
        return Send(r);
    }
    void Rule(uint32_t uid, uint32_t flags, uint32_t owner = 0x4400) {
        m_rules[{owner, uid}] = flags;
    }
    const TrayItem* Stored(uint32_t uid, uint32_t owner = 0x4400) { return m_reg.Find(owner, uid); }

    uint32_t m_now = 1000;
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> m_rules;
    CountingIcons m_icons;
    qly::TrayRegistry m_reg{m_icons};
    qly::RecentDeletions m_recent;
    RecordingLog m_log;
    qly::HandlerEnv m_env{m_reg, m_recent, {}};
};

TEST_F(Handler, IconHiddenByItsRuleIsSwallowedButRegisteredUntilItsDelete) {
    Rule(5, 0x2);  // menu only
    EXPECT_EQ(Send(kAdd, 5), 0u);
    ASSERT_NE(Stored(5), nullptr) << "the menu still offers it";
    EXPECT_EQ(Send(kModify, 5), 0u);
    EXPECT_EQ(Send(kDelete, 5), 0u) << "the tray never had it";
    EXPECT_EQ(Stored(5), nullptr);

    // A visible icon passes, and so do its change and delete.
    EXPECT_EQ(Send(kAdd, 6), 1u);
    EXPECT_EQ(Send(kModify, 6), 1u);
    EXPECT_EQ(Send(kDelete, 6), 1u);
    EXPECT_EQ(m_reg.Count(), 0u);
    // Deleting what is not registered changes nothing.
    EXPECT_EQ(Send(kDelete, 6), 1u);
    // Focus and unknown commands are passed and change nothing.
    EXPECT_EQ(Send(notify_wire::kSetFocus, 7), 1u);
    EXPECT_EQ(Send(9, 7), 1u);
    EXPECT_EQ(m_reg.Count(), 0u);
}

TEST_F(Handler, LateChangeAfterADeleteOnlyReturnsTheIconOnceTheDeleteIsOld) {
    ASSERT_EQ(Send(kAdd, 1), 1u);
    ASSERT_EQ(Send(kDelete, 1), 1u);
    m_now += 1000;
    Send(kModify, 1);
    EXPECT_EQ(Stored(1), nullptr) << "a change racing with the delete brought the icon back";
    m_now += 999;
    Send(kModify, 1);
    EXPECT_EQ(Stored(1), nullptr);
    m_now += 1;  // 2000 ms after the delete
    Send(kModify, 1);
    EXPECT_NE(Stored(1), nullptr);

    // A change that carries only the callback message never registers an unknown icon.
    Send(kModify, 2, notify_wire::kFlagMessage);
    Send(notify_wire::kSetVersion, 2, notify_wire::kFlagMessage);
    EXPECT_EQ(Stored(2), nullptr);
    // Nor does a request without flags.
    Send(kAdd, 3, 0);
    EXPECT_EQ(Stored(3), nullptr);

    // An add right after a delete is the owner's own wish and forgets the deletion.
    ASSERT_EQ(Send(kDelete, 1), 1u);
    Send(kAdd, 1);
    EXPECT_NE(Stored(1), nullptr);
    Send(kDelete, 1);
    Send(kModify, 1);
    EXPECT_EQ(Stored(1), nullptr);
}

TEST_F(Handler, RequestOfAnotherSizeOnlyReplacesAMergedIcon) {
    Request add;
    add.uid = 4;
    add.tip = "full size";
    Send(add);
    Request other;
    other.command = kModify;
    other.uid = 4;
    other.tip = "smaller";
    other.size = notify_wire::kSizeV1;
    Rule(4, 0x0);
    EXPECT_EQ(Send(other), 0u) << "still answered by the icon's visibility";
    const TrayItem* kept = Stored(4);
    ASSERT_NE(kept, nullptr);
    EXPECT_EQ(kept->total_size, Forward(add).size());
    EXPECT_EQ(qly::TipText(kept, qly::TextLayout::kWide, 127).data(), std::string("full size"));

    // Once the stored icon is marked as merged, the other size replaces it in place.
    Request add2 = add;
    add2.uid = 5;
    Send(add2);
    m_reg.Find(0x4400, 4)->item_flags |= qly::kTrayItemMerged;
    other.flags = notify_wire::kFlagState;
    Send(other);
    const std::vector<qly::TrayItem*> items = m_reg.Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0]->uid, 4u);
    EXPECT_EQ(items[0]->total_size, Forward(other).size());
    EXPECT_EQ(qly::TipText(items[0], qly::TextLayout::kWide, 127).data(), std::string("full size"));
}

TEST_F(Handler, VersionRequestOfAKnownIconStoresTheVersion) {
    Send(kAdd, 1);
    Request v;
    v.command = notify_wire::kSetVersion;
    v.uid = 1;
    v.version = 4;
    EXPECT_EQ(Send(v), 1u);
    EXPECT_EQ(Stored(1)->icon_version, 4u);
}

TEST_F(Handler, ReversedOrderMovesEveryVisibleNewIconToTheFarEnd) {
    m_env.reverse_tray = 1;
    EXPECT_EQ(Send(kAdd, 1), 0xFFFFFFFFu);
    EXPECT_EQ(Send(kAdd, 2), 0xFFFFFFFFu);
    EXPECT_EQ(Send(kModify, 2), 1u) << "only a new button moves";
    Rule(3, 0x2);
    EXPECT_EQ(Send(kAdd, 3), 0u);
}

TEST_F(Handler, SortedOrderPlacesANewIconBeforeTheFirstLaterButtonOfTheDump) {
    m_env.reverse_tray = 2;
    m_env.dump_always = true;
    // Registered icons 1..5 with positions: 1 -> 1, 2 -> 3, 3 -> none, 4 -> 5, 5 -> 2.
    Rule(1, 0x103);
    Rule(2, 0x303);
    Rule(4, 0x503);
    Rule(5, 0x203);
    for (uint32_t uid = 1; uid <= 5; ++uid)
        Send(kAdd, uid);
    qly::PeekRecord peek[6] = {};
    const uint32_t order[6] = {1, 99, 2, 5, 4, 3};  // 99 is not registered
    for (int i = 0; i < 6; ++i) {
        peek[i].owner_window = 0x4400;
        peek[i].uid = order[i];
    }
    peek[4].state = 0x8;  // icon 4 (position 5) is hidden in the tray
    m_env.peek = peek;
    m_env.peek_count = 6;

    Rule(7, 0x303);  // position 3: after 1 (1), 2 (3), 5 (2); 4 is hidden; 3 has none
    EXPECT_EQ(Send(kAdd, 7), 2u + 5u);
    Rule(8, 0x103);  // position 1: the first button with a greater key is icon 2 at index 2
    EXPECT_EQ(Send(kAdd, 8), 2u + 2u);
    Rule(9, 0x003);  // no position: to the end
    EXPECT_EQ(Send(kAdd, 9), 1u);
    m_env.win_xp = true;
    EXPECT_EQ(Send(kAdd, 10), 0xFFFFFFFFu);
    m_env.win_xp = false;

    // Without a dump of this request the place is the end.
    m_env.dump_always = false;
    Rule(11, 0x303);
    EXPECT_EQ(Send(kAdd, 11), 1u);
    m_env.dump_always = true;
    m_env.peek_count = 0;
    Rule(12, 0x303);
    EXPECT_EQ(Send(kAdd, 12), 1u);

    // The log tells which place was chosen.
    m_env.peek_count = 6;
    m_log.flags = 2;
    Rule(13, 0x303);
    EXPECT_EQ(Send(kAdd, 13), 7u);
    EXPECT_EQ(m_log.lines.back(), "Dlg_quillory_OnCopyData returning        7\n");
    m_log.flags = 0;

    // The records behind the first toolbar's (here from index 3 on) belong to the second
    // toolbar, where the hook does not move: they are no place for a new icon.
    m_env.peek_first_toolbar = 3;
    Rule(14, 0x303);
    EXPECT_EQ(Send(kAdd, 14), 1u) << "behind all of the first toolbar";
    Rule(15, 0x103);
    EXPECT_EQ(Send(kAdd, 15), 2u + 2u) << "a place inside the first toolbar stays";
}

TEST_F(Handler, IdsAboveTheOwnRangeAreNeverRegistered) {
    EXPECT_EQ(Send(kAdd, 0x80000001), 1u);
    EXPECT_EQ(m_reg.Count(), 0u);
    Rule(0x80000000, 0x0);
    EXPECT_EQ(Send(kAdd, 0x80000000), 0u) << "0x80000000 itself is an ordinary id";
    EXPECT_EQ(m_reg.Count(), 1u);
}

TEST_F(Handler, ForeignOrBrokenMessagesAreAnsweredPassAndChangeNothing) {
    Rule(1, 0x0);
    const std::vector<uint8_t> rec = Forward(Request{});
    // Wrong tag, wrong sender, no tray known.
    EXPECT_EQ(qly::HandleForward(m_env, kTray, 1, rec.data(), rec.size()).reply, 1u);
    EXPECT_EQ(qly::HandleForward(m_env, kTray + 4, qly::ForwardTag, rec.data(), rec.size()).reply,
              1u);
    // Sizes that do not match the record.
    EXPECT_EQ(qly::HandleForward(m_env, kTray, qly::ForwardTag, rec.data(), rec.size() - 4).reply,
              1u);
    EXPECT_EQ(qly::HandleForward(m_env, kTray, qly::ForwardTag, rec.data(), 100).reply, 1u);
    EXPECT_EQ(qly::HandleForward(m_env, kTray, qly::ForwardTag, nullptr, rec.size()).reply, 1u);
    std::vector<uint8_t> lying = rec;
    reinterpret_cast<TrayItem*>(lying.data())->total_size += 64;
    EXPECT_EQ(qly::HandleForward(m_env, kTray, qly::ForwardTag, lying.data(), lying.size()).reply,
              1u);
    reinterpret_cast<TrayItem*>(lying.data())->total_size -= 64;
    reinterpret_cast<TrayItem*>(lying.data())->cb_size = 31;  // below the fixed notify fields
    EXPECT_EQ(qly::HandleForward(m_env, kTray, qly::ForwardTag, lying.data(), lying.size()).reply,
              1u);
    EXPECT_EQ(m_reg.Count(), 0u);
    EXPECT_TRUE(m_log.lines.empty());

    m_env.shell_tray = 0;
    EXPECT_EQ(qly::HandleForward(m_env, 0, qly::ForwardTag, rec.data(), rec.size()).reply, 1u);
    EXPECT_EQ(m_reg.Count(), 0u);
}

// Owners that name a larger structure in cbSize than they pass are common; the tray shows
// their icons, so the rules and the menu must see them too.
TEST_F(Handler, IconWhoseSizeFieldClaimsMoreThanItPassesIsStillRuledAndReplayedAsItCame) {
    Rule(8, 0x2);  // menu only
    Request r;
    r.uid = 8;
    r.tip = "claims more";
    const std::vector<uint8_t> payload = Payload(r);
    for (const uint32_t claimed : {static_cast<uint32_t>(payload.size()) + 1, 5000u, 0xFFFFFFFFu}) {
        std::vector<uint8_t> rec = Forward(r);
        reinterpret_cast<TrayItem*>(rec.data())->cb_size = claimed;
        EXPECT_EQ(qly::HandleForward(m_env, kTray, qly::ForwardTag, rec.data(), rec.size()).reply,
                  0u)
            << "cbSize " << claimed << ": the rule keeps it from the tray";
        const TrayItem* stored = Stored(8);
        ASSERT_NE(stored, nullptr) << "cbSize " << claimed << ": the menu offers it";
        // Given back to the tray, it names only the bytes it carries: what the owner sent.
        EXPECT_EQ(qly::ShellRequestOf(stored, kAdd), payload) << "cbSize " << claimed;
        Send(kDelete, 8);
        m_now += 2000;
    }
}

TEST_F(Handler, LogShowsEachRequestAndTheRecentDeletionsWhenAskedTo) {
    m_log.flags = 1;
    Send(kAdd, 1);
    EXPECT_TRUE(m_log.lines.empty()) << "the detail lines need FlagLog bit 2";

    m_log.flags = 2;
    Request r;
    r.uid = 0x21;
    r.owner = 0x4400;
    r.flags = notify_wire::kFlagMessage | notify_wire::kFlagState;
    r.state = 1;
    r.state_mask = 1;
    Rule(0x21, 0x502);
    Send(r);
    ASSERT_EQ(m_log.lines.size(), 1u);
    EXPECT_EQ(m_log.lines[0],
              "       0         2         3         5: 00000021 : 00000009 : 00004400 : 00000001 : "
              "owner.exe - CLASS:OwnerClass\n");

    m_log.lines.clear();
    Send(kDelete, 0x21);
    Send(kModify, 0x21);
    ASSERT_EQ(m_log.lines.size(), 3u);
    EXPECT_EQ(m_log.lines[2], "NIM_MODIFY on inexistent stuff\n")
        << "no recent-deletion lines with 2";

    m_log.flags = 6;
    m_log.lines.clear();
    Send(kAdd, 0x21);
    Send(kDelete, 0x21);
    Send(kModify, 0x21);
    std::vector<std::string> tails;
    for (const std::string& l : m_log.lines)
        if (l.find(':') == std::string::npos)
            tails.push_back(l);
    EXPECT_EQ(tails,
              (std::vector<std::string>{"InsertRecentDel\n", "NIM_MODIFY on inexistent stuff\n",
                                        "IsRecentDel\n"}));
}

TEST_F(Handler, ReportsTheComparedItemAsTheChangeMarker) {
    Send(kAdd, 1);
    Request m;
    m.command = kModify;
    m.uid = 1;
    std::vector<uint8_t> rec = Forward(m);
    qly::HandlerResult r =
        qly::HandleForward(m_env, kTray, qly::ForwardTag, rec.data(), rec.size());
    EXPECT_TRUE(r.forwarded);
    EXPECT_EQ(r.changed, Stored(1));
    rec = Forward(Request{});
    reinterpret_cast<TrayItem*>(rec.data())->uid = 2;
    r = qly::HandleForward(m_env, kTray, qly::ForwardTag, rec.data(), rec.size());
    EXPECT_EQ(r.changed, nullptr) << "a new icon is no change of a stored one";
}

}  // namespace
}  // namespace qly_interception_test
