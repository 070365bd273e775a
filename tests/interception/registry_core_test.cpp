// The icon registry as the rest of the program sees it: which icons it holds and in which
// order, what a change, a merge or a version request leaves in the stored record, that
// every icon copy it makes is destroyed exactly once, the recent deletions at the edges of
// their time windows, and the bytes a stored icon goes back to the tray with.
#include <gtest/gtest.h>

#include <cstring>

#include "app/interception/recent_deletions.h"
#include "app/interception/tray_record.h"
#include "app/interception/tray_registry.h"
#include "tests/interception/forward_builder.h"

namespace qly_interception_test {

using namespace qly;  // the shared records and the code under test
namespace {

using qly::TrayRegistry;

std::vector<uint32_t> Uids(const TrayRegistry& reg) {
    std::vector<uint32_t> out;
    for (const TrayItem* item : reg.Items())
        out.push_back(item->uid);
    return out;
}

std::string Tip(const TrayItem* item) {
    std::vector<char> t = qly::TipText(item, qly::TextLayout::kWide, 127);
    return t.data();
}

class Registry : public ::testing::Test {
  protected:
    TrayItem* Add(const Request& r) {
        const std::vector<uint8_t> rec = Forward(r);
        return m_reg.Insert(AsItem(rec));
    }
    CountingIcons m_icons;
    TrayRegistry m_reg{m_icons};
};

TEST_F(Registry, IconsAreKeptInArrivalOrderAndIdentifiedByWindowAndId) {
    Request a;
    a.uid = 1;
    Add(a);
    a.uid = 2;  // same window, second icon
    Add(a);
    Request b;
    b.owner = 0x5500;
    b.uid = 1;  // same id, other window
    Add(b);
    EXPECT_EQ(m_reg.Count(), 3u);
    EXPECT_EQ(Uids(m_reg), (std::vector<uint32_t>{1, 2, 1}));
    size_t pos = 99;
    ASSERT_NE(m_reg.Find(0x4400, 2, &pos), nullptr);
    EXPECT_EQ(pos, 1u);
    ASSERT_NE(m_reg.Find(0x5500, 1, &pos), nullptr);
    EXPECT_EQ(pos, 2u);
    EXPECT_EQ(m_reg.Find(0x5500, 2), nullptr);
    // The window is compared in full: a handle that differs above 32 bits is another icon.
    EXPECT_EQ(m_reg.Find(0x100004400ull, 1), nullptr);

    // The pair stays unique.
    EXPECT_EQ(Add(a), nullptr);
    EXPECT_EQ(m_reg.Count(), 3u);

    m_reg.Remove(m_reg.Find(0x4400, 2));
    EXPECT_EQ(Uids(m_reg), (std::vector<uint32_t>{1, 1}));
    EXPECT_EQ(m_reg.Find(0x4400, 2), nullptr);
}

TEST_F(Registry, StoredRecordHoldsItsOwnIconCopyAndEveryCopyIsDestroyedOnce) {
    Request r;
    r.flags |= notify_wire::kFlagIcon;
    r.icon = 0x777;
    qly::TrayItem* item = Add(r);
    ASSERT_NE(item, nullptr);
    EXPECT_NE(+item->hicon, 0x777u) << "the owner's handle must not be kept";
    EXPECT_EQ(m_icons.SourceOf(item->hicon), 0x777u);
    EXPECT_EQ(m_icons.Alive(), 1u);

    // An icon handle without NIF_ICON is not the icon: nothing is copied.
    Request no_icon_flag;
    no_icon_flag.uid = 2;
    no_icon_flag.icon = 0x888;
    EXPECT_EQ(+Add(no_icon_flag)->hicon, 0u);

    // A change of icon replaces the copy.
    Request change = r;
    change.command = notify_wire::kModify;
    change.flags = notify_wire::kFlagIcon;
    change.icon = 0x999;
    const std::vector<uint8_t> rec = Forward(change);
    m_reg.ModifyInPlace(item, AsItem(rec));
    EXPECT_EQ(m_icons.SourceOf(item->hicon), 0x999u);
    EXPECT_EQ(m_icons.Alive(), 1u);

    m_reg.Remove(item);
    EXPECT_EQ(m_icons.Alive(), 0u);
    Add(r);
    m_reg.Clear();
    EXPECT_EQ(m_icons.Alive(), 0u);
    EXPECT_EQ(m_icons.BadDestroys(), 0);
}

TEST_F(Registry, ChangeInPlaceTakesOnlyWhatTheRequestNames) {
    Request r;
    r.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip | notify_wire::kFlagState;
    r.tip = "first tip, rather long";
    r.state = 0x3;
    r.state_mask = 0x3;
    qly::TrayItem* item = Add(r);

    Request state_only;
    state_only.command = notify_wire::kModify;
    state_only.flags = notify_wire::kFlagState;
    state_only.callback = 0x9999;
    state_only.tip = "ignored";
    state_only.state = 0x0;
    state_only.state_mask = 0x1;  // clears bit 0, must keep bit 1
    m_reg.ModifyInPlace(item, AsItem(Forward(state_only)));
    EXPECT_EQ(qly::ReadU32(item, qly::kTrayItemStateW), 0x2u);
    EXPECT_EQ(qly::ReadU32(item, qly::kTrayItemStateMaskW), 0x3u);
    EXPECT_EQ(item->callback_message, 0x8001u);
    EXPECT_EQ(Tip(item), "first tip, rather long");

    Request tip;
    tip.command = notify_wire::kModify;
    tip.flags = notify_wire::kFlagTip | notify_wire::kFlagInfo;
    tip.tip = "short";
    m_reg.ModifyInPlace(item, AsItem(Forward(tip)));
    EXPECT_EQ(Tip(item), "short");
    EXPECT_EQ(item->uflags, r.flags | notify_wire::kFlagInfo) << "flags accumulate";
    EXPECT_EQ(item->command, notify_wire::kAdd) << "the command stays as stored";
}

TEST_F(Registry, MergedIconTakesThePlaceOfItsPredecessorAndInheritsWhatItLacks) {
    for (uint32_t uid = 1; uid <= 3; ++uid) {
        Request r;
        r.uid = uid;
        r.flags = notify_wire::kFlagMessage | notify_wire::kFlagTip | notify_wire::kFlagIcon;
        r.icon = 0x700 + uid;
        r.tip = "tip " + std::to_string(uid);
        Add(r);
    }
    qly::TrayItem* stored = m_reg.Find(0x4400, 2);
    stored->item_flags |= qly::kTrayItemMerged;

    Request smaller;
    smaller.command = notify_wire::kModify;
    smaller.uid = 2;
    smaller.flags = notify_wire::kFlagState;
    smaller.size = notify_wire::kSizeV2;
    smaller.callback = 0;
    qly::TrayItem* merged = m_reg.Merge(stored, AsItem(Forward(smaller)));
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(Uids(m_reg), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(merged->total_size,
              notify_wire::PayloadSize(notify_wire::kSizeV2) + qly::kTrayItemForwardGrowth);
    EXPECT_EQ(merged->callback_message, 0x8001u);
    EXPECT_EQ(Tip(merged), "tip 2");
    EXPECT_EQ(m_icons.SourceOf(m_icons.SourceOf(merged->hicon)), 0x702u)
        << "a copy of the old copy";
    EXPECT_EQ(merged->uflags & (notify_wire::kFlagIcon | notify_wire::kFlagTip),
              notify_wire::kFlagIcon | notify_wire::kFlagTip);
    EXPECT_NE(merged->item_flags & qly::kTrayItemMerged, 0u);
    EXPECT_EQ(m_icons.Alive(), 3u);
    m_reg.Clear();
    EXPECT_EQ(m_icons.Alive(), 0u);
    EXPECT_EQ(m_icons.BadDestroys(), 0);
}

TEST_F(Registry, MergedIconGoesBackToTheTrayWithTheCallbackIconAndTipItInherited) {
    // The owner's next request after an adoption names only what it changes; a replay of
    // the merged record (at exit, to a new shell, when a rule shows it again) must still
    // give the tray an icon that answers clicks.
    const uint32_t kComplete =
        notify_wire::kFlagMessage | notify_wire::kFlagIcon | notify_wire::kFlagTip;
    struct Case {
        uint32_t stored_flags;
        uint32_t incoming_flags;
        uint32_t replayed_flags;
    } cases[] = {
        {kComplete, notify_wire::kFlagTip, kComplete},
        {kComplete, notify_wire::kFlagState, kComplete | notify_wire::kFlagState},
        {kComplete, notify_wire::kFlagIcon, kComplete},
        // A callback the earlier record never named is not made up.
        {notify_wire::kFlagIcon | notify_wire::kFlagTip, notify_wire::kFlagTip,
         notify_wire::kFlagIcon | notify_wire::kFlagTip},
    };
    for (const Case& c : cases) {
        Request r;
        r.flags = c.stored_flags;
        r.icon = 0x701;
        r.tip = "adopted";
        qly::TrayItem* stored = Add(r);
        ASSERT_NE(stored, nullptr);
        stored->item_flags |= qly::kTrayItemMerged;

        Request change;
        change.command = notify_wire::kModify;
        change.flags = c.incoming_flags;
        change.callback = 0;
        change.icon = 0x702;
        change.tip = "changed";
        change.size = notify_wire::kSizeV2;
        qly::TrayItem* merged = m_reg.Merge(stored, AsItem(Forward(change)));
        ASSERT_NE(merged, nullptr);
        const std::vector<uint8_t> replay = qly::ShellRequestOf(merged, qly::kNimAdd);
        EXPECT_EQ(notify_wire::GetU32(replay, notify_wire::kOffFlags), c.replayed_flags)
            << std::hex << c.stored_flags << " then " << c.incoming_flags;
        if (c.replayed_flags & notify_wire::kFlagMessage) {
            EXPECT_EQ(notify_wire::GetU32(replay, notify_wire::kOffCallback), 0x8001u);
        }
        EXPECT_NE(+merged->hicon, 0u);
        m_reg.Clear();
    }
    EXPECT_EQ(m_icons.BadDestroys(), 0);
}

TEST_F(Registry, VersionRequestCarriesItsVersionIntoTheRecord) {
    Request r;
    r.command = notify_wire::kSetVersion;
    r.version = 4;
    std::vector<uint8_t> rec = Forward(r);
    qly::TrayItem* item = reinterpret_cast<TrayItem*>(rec.data());
    m_reg.TakeVersion(item);
    EXPECT_EQ(item->icon_version, 4u);
}

TEST(RecentDeletion, CountsAsRecentUpTo1999MsAndIsPurgedAfter4000) {
    uint32_t now = 0xFFFFF000;  // across the tick counter's wrap
    qly::RecentDeletions recent([&] { return now; });
    EXPECT_EQ(recent.Insert(0x4400, 1), 1);
    now += 1999;
    EXPECT_TRUE(recent.IsRecent(0x4400, 1));
    EXPECT_FALSE(recent.IsRecent(0x4400, 2));
    now += 1;
    EXPECT_FALSE(recent.IsRecent(0x4400, 1));

    // A renewed entry counts from its renewal.
    EXPECT_EQ(recent.Insert(0x4400, 1), 0);
    now += 1999;
    EXPECT_TRUE(recent.IsRecent(0x4400, 1));

    // Keyed by the low 32 bits of the window.
    EXPECT_TRUE(recent.IsRecent(0x700004400ull, 1));

    EXPECT_EQ(recent.Insert(0x5500, 9), 1);
    now += 2001;  // the first entry is now 4000 ms old, the second 2001
    EXPECT_EQ(recent.Purge(), 2u);
    EXPECT_EQ(recent.Size(), 2u);
    now += 1;
    recent.Purge();
    EXPECT_EQ(recent.Size(), 1u);
    EXPECT_EQ(recent.Forget(0x5500, 9), 1);
    EXPECT_EQ(recent.Forget(0x5500, 9), 0);
}

TEST(ReplayBytes, TheTrayGetsTheOwnersRequestBackWithOnlyTheCommandReplaced) {
    for (uint32_t size : {notify_wire::kSizeV1, notify_wire::kSizeV2, notify_wire::kSizeFull}) {
        Request r;
        r.owner = 0xABCD1234;
        r.uid = 77;
        r.tip = "replayed";
        r.state = 1;
        r.state_mask = 1;
        r.flags |= notify_wire::kFlagState;
        r.size = size;
        const std::vector<uint8_t> original = Payload(r);
        const std::vector<uint8_t> rec = Forward(r);
        std::vector<uint8_t> sent = qly::ShellRequestOf(AsItem(rec), qly::kNimDelete);
        ASSERT_EQ(sent.size(), original.size()) << size;
        EXPECT_EQ(notify_wire::GetU32(sent, notify_wire::kOffCommand), qly::kNimDelete);
        notify_wire::PutU32(sent, notify_wire::kOffCommand, r.command);
        EXPECT_EQ(sent, original) << size;
    }
}

TEST(ReplayBytes, ForwardOfAStoredIconIsTheRecordTheHookWouldHaveSent) {
    Request r;
    r.command = notify_wire::kModify;
    r.tip = "again";
    std::vector<uint8_t> stored = Forward(r);
    qly::TrayItem* item = reinterpret_cast<TrayItem*>(stored.data());
    // What the program writes into a stored record must not travel.
    std::strcpy(item->exe_name, "notepad.exe");
    item->item_flags = 3;
    item->list_row = 5;
    item->icon_version = 4;
    Request as_add = r;
    as_add.command = notify_wire::kAdd;
    EXPECT_EQ(qly::ForwardOf(item, qly::kNimAdd), Forward(as_add));
}

// Tips of merged icons are handed back at exit as 8-bit text of at most 63 bytes. A small
// code page stands in for the system's: ü and ß one byte each, 漢 two bytes (lead bytes
// 0x81 to 0x9F), nothing for other characters.
TEST(ReplayBytes, TipHandedBackIn8BitTextKeepsWhatTheCodePageSaysAndNeverCutsACharacter) {
    qly::AnsiCodePage cp;
    cp.encode = [](const char16_t* u, size_t n) -> std::string {
        if (n == 1 && u[0] < 0x80)
            return std::string(1, static_cast<char>(u[0]));
        if (n == 1 && (u[0] == u'ü' || u[0] == u'ß'))
            return std::string(1, static_cast<char>(u[0]));
        if (n == 1 && u[0] == u'漢')
            return "\x8A\xBF";
        return "";
    };
    cp.is_lead_byte = [](uint8_t b) { return b >= 0x81 && b <= 0x9F; };
    const std::string a62(62, 'a');
    struct Case {
        std::string tip;  // UTF-8
        const qly::AnsiCodePage* cp;
        std::string expected;
    } cases[] = {
        {"Grüße", &cp,
         "Gr\xFC\xDF"
         "e"},
        {"Grüße", nullptr, "Gr??e"},
        {"Ωmega 😀", &cp, "?mega ?"},  // one '?' for a surrogate pair
        {a62 + "漢", &cp, a62},       // two bytes do not fit behind 62
        {a62 + "ü漢", &cp, a62 + "\xFC"},
        {std::string(100, 'b'), &cp, std::string(63, 'b')},
    };
    for (const Case& c : cases) {
        Request r;
        r.tip = c.tip;
        const std::vector<uint8_t> rec = Forward(r);
        EXPECT_EQ(qly::TipText(AsItem(rec), qly::TextLayout::kWide, 63, c.cp).data(), c.expected)
            << c.tip;
    }

    // 8-bit records hold the code page's bytes already: only the cut needs to know them.
    std::vector<uint8_t> ansi = Forward(Request{});
    std::memset(ansi.data() + 212, 0, 128);
    const std::string bytes = a62 +
                              "\x8A\xBF"
                              "c";
    std::memcpy(ansi.data() + 212, bytes.data(), bytes.size());
    EXPECT_EQ(qly::TipText(AsItem(ansi), qly::TextLayout::kAnsi, 63, &cp).data(), a62);
    EXPECT_EQ(qly::TipText(AsItem(ansi), qly::TextLayout::kAnsi, 64, &cp).data(), a62 + "\x8A\xBF");
}

TEST(ForwardChecks, RecordsThatDoNotHoldWhatTheyClaimAreRefused) {
    std::vector<uint8_t> rec = Forward(Request{});
    EXPECT_TRUE(qly::IsUsableForward(rec.data(), rec.size()));
    EXPECT_FALSE(qly::IsUsableForward(nullptr, rec.size()));
    EXPECT_FALSE(qly::IsUsableForward(rec.data(), rec.size() - 1))
        << "size differs from total size";
    EXPECT_FALSE(qly::IsUsableForward(rec.data(), qly::kTrayItemFixedSize - 1));

    std::vector<uint8_t> small_cb = rec;
    reinterpret_cast<TrayItem*>(small_cb.data())->cb_size = 31;
    EXPECT_FALSE(qly::IsUsableForward(small_cb.data(), small_cb.size()));

    // The smallest record: the fixed part alone.
    std::vector<uint8_t> fixed(rec.begin(), rec.begin() + qly::kTrayItemFixedSize);
    qly::TrayItem* f = reinterpret_cast<TrayItem*>(fixed.data());
    f->total_size = qly::kTrayItemFixedSize;
    f->cb_size = 32;
    EXPECT_TRUE(qly::IsUsableForward(fixed.data(), fixed.size()));
}

}  // namespace
}  // namespace qly_interception_test
