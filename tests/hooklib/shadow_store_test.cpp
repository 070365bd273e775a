// The shell's memory of icons kept from the tray: what it gives back (the latest callback,
// icon, tip and state, as an add, never a stale balloon), in which order, what it refuses
// to keep, and its bounds (512 icons, 1 MiB, oldest dropped first) with every icon copy
// released exactly once. Requests are built with the test side's own wire format.
#include "hooklib/shadow_store.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tools/notifyclient/notify_wire.h"

namespace {

using notify_wire::NotifyFields;

// Icon copies are numbers here; the store must release each one it was given, once.
std::map<uint64_t, int> g_released;
void Release(uint64_t icon) {
    ++g_released[icon];
}

std::vector<uint8_t> Request(uint32_t command,
                             uint32_t owner,
                             uint32_t uid,
                             uint32_t flags,
                             const std::u16string& tip = u"",
                             uint32_t size = notify_wire::kSizeFull) {
    NotifyFields f;
    f.command = command;
    f.hwnd = owner;
    f.uid = uid;
    f.flags = flags;
    f.callback_message = 0x8000 + uid;
    f.icon = 0x1000 + uid;
    f.tip = tip;
    return notify_wire::BuildPayload(f, size);
}

std::vector<uint8_t> Add(uint32_t owner, uint32_t uid, const std::u16string& tip = u"tip") {
    return Request(notify_wire::kAdd, owner, uid, 0x7, tip);
}

std::vector<uint8_t> GiveBack(const qly::ShadowEntry& e) {
    std::vector<uint8_t> out(e.size);
    qly::MakeGiveBackRequest(e, out.data());
    return out;
}

std::vector<uint32_t> Uids(const qly::ShadowStore& store) {
    std::vector<uint32_t> uids;
    for (const qly::ShadowEntry* e = store.Oldest(); e != nullptr; e = e->newer)
        uids.push_back(e->uid);
    return uids;
}

class Shadow : public ::testing::Test {
  protected:
    void SetUp() override { g_released.clear(); }
    qly::ShadowStore store{Release};
};

TEST_F(Shadow, GivesBackTheLatestCallbackIconTipAndStateAsAnAddWithoutTheBalloon) {
    std::vector<uint8_t> add = Add(0x100, 5, u"first");
    ASSERT_TRUE(store.Keep(add.data(), add.size(), 0x100, 11));

    NotifyFields m;
    m.command = notify_wire::kModify;
    m.hwnd = 0x100;
    m.uid = 5;
    m.flags = 0x1 | 0x2 | 0x4 | 0x8 | 0x10;
    m.callback_message = 0x9999;
    m.icon = 0x4242;
    m.tip = u"second";
    m.state = 0;
    m.state_mask = notify_wire::kStateHidden;
    m.info = u"old news";
    std::vector<uint8_t> modify = notify_wire::BuildPayload(m, notify_wire::kSizeFull);
    ASSERT_TRUE(store.Update(modify.data(), modify.size(), 12));
    // A tip alone keeps the rest.
    std::vector<uint8_t> tip_only = Request(notify_wire::kModify, 0x100, 5, 0x4, u"third");
    ASSERT_TRUE(store.Update(tip_only.data(), tip_only.size(), 0));
    ASSERT_TRUE(store.SetVersion(0x100, 5, 4));

    ASSERT_EQ(store.Count(), 1u);
    const qly::ShadowEntry& e = *store.Oldest();
    const std::vector<uint8_t> back = GiveBack(e);
    EXPECT_EQ(notify_wire::GetU32(back, notify_wire::kOffCommand), notify_wire::kAdd);
    EXPECT_EQ(notify_wire::GetU32(back, notify_wire::kOffCallback), 0x9999u);
    EXPECT_EQ(notify_wire::GetU32(back, notify_wire::kOffIcon), 12u) << "the shell's own copy";
    EXPECT_EQ(notify_wire::GetString(back, notify_wire::kOffTip, notify_wire::kTipChars), u"third");
    EXPECT_EQ(notify_wire::GetU32(back, notify_wire::kOffStateMask), notify_wire::kStateHidden);
    EXPECT_EQ(notify_wire::GetU32(back, notify_wire::kOffFlags) & 0x10, 0u) << "a stale balloon";
    EXPECT_EQ(notify_wire::GetU32(back, notify_wire::kOffFlags) & 0xF, 0xFu);
    EXPECT_EQ(e.version, 4u);
    EXPECT_EQ(e.sender, 0x100u);
    EXPECT_EQ(g_released[11], 1) << "the replaced icon copy";
    store.Clear();
    EXPECT_EQ(g_released[12], 1);
}

TEST_F(Shadow, ALongerTipFromANewerStructureFitsAShortKeptOne) {
    std::vector<uint8_t> add =
        Request(notify_wire::kAdd, 0x100, 1, 0x7, u"v1", notify_wire::kSizeV1);
    ASSERT_TRUE(store.Keep(add.data(), add.size(), 0x100, 0));
    const std::u16string long_tip(100, u'x');
    std::vector<uint8_t> modify = Request(notify_wire::kModify, 0x100, 1, 0x4, long_tip);
    ASSERT_TRUE(store.Update(modify.data(), modify.size(), 0));
    const std::vector<uint8_t> back = GiveBack(*store.Oldest());
    EXPECT_EQ(back.size(), modify.size());
    EXPECT_EQ(notify_wire::GetString(back, notify_wire::kOffTip, notify_wire::kTipChars), long_tip);
    EXPECT_EQ(notify_wire::GetU32(back, notify_wire::kOffCallback), 0x8001u) << "kept callback";
}

TEST_F(Shadow, KeepsOnlyWhatATrayCouldShowAndNothingAModifyAloneBringsBack) {
    struct Case {
        const char* what;
        std::vector<uint8_t> request;
    };
    std::vector<uint8_t> bad_signature = Add(0x100, 1);
    bad_signature[0] ^= 0xFF;
    const Case refused[] = {
        {"a bare delete (owner and id only)", Request(notify_wire::kDelete, 0x100, 1, 0)},
        {"a wrong signature", bad_signature},
        {"shorter than the fixed fields", Request(notify_wire::kAdd, 0x100, 1, 0x7, u"", 23)},
        {"longer than any shell request", Request(notify_wire::kAdd, 0x100, 1, 0x7, u"", 5000)},
    };
    uint64_t icon = 100;
    for (const Case& c : refused) {
        EXPECT_FALSE(store.Keep(c.request.data(), c.request.size(), 0x100, ++icon)) << c.what;
        EXPECT_EQ(g_released[icon], 1) << c.what << ": its icon copy was not released";
    }
    // A modify that arrives after its owner's delete must not bring the icon back.
    std::vector<uint8_t> late = Request(notify_wire::kModify, 0x100, 1, 0x7, u"late");
    EXPECT_FALSE(store.Update(late.data(), late.size(), ++icon));
    EXPECT_EQ(g_released[icon], 1);
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.Bytes(), 0u);
}

TEST_F(Shadow, KeepsTheOrderIconsWereTakenAwayInAndForgetsWhatIsShownOrDeleted) {
    for (uint32_t uid = 1; uid <= 5; ++uid) {
        std::vector<uint8_t> add = Add(0x100 + uid, uid);
        ASSERT_TRUE(store.Keep(add.data(), add.size(), 0x100 + uid, 0));
    }
    // Hidden again with a newer request: keeps its place, holds the newer request.
    std::vector<uint8_t> again = Add(0x102, 2, u"again");
    ASSERT_TRUE(store.Keep(again.data(), again.size(), 0x102, 0));
    EXPECT_TRUE(store.Forget(0x104, 4));
    EXPECT_FALSE(store.Forget(0x104, 4));
    EXPECT_EQ(Uids(store), (std::vector<uint32_t>{1, 2, 3, 5}));
    EXPECT_EQ(notify_wire::GetString(GiveBack(*store.Find(0x102, 2)), notify_wire::kOffTip, 128),
              u"again");

    qly::ShadowEntry* taken = store.TakeAll();
    EXPECT_EQ(store.Count(), 0u);
    EXPECT_EQ(store.Bytes(), 0u);
    std::vector<uint32_t> order;
    while (taken != nullptr) {
        qly::ShadowEntry* next = taken->newer;
        order.push_back(taken->uid);
        store.Free(taken);
        taken = next;
    }
    EXPECT_EQ(order, (std::vector<uint32_t>{1, 2, 3, 5}));
}

TEST_F(Shadow, SixHundredHiddenIconsKeepTheNewest512) {
    for (uint32_t i = 0; i < 600; ++i) {
        std::vector<uint8_t> add = Add(0x10000 + i, i);
        ASSERT_TRUE(store.Keep(add.data(), add.size(), 0x10000 + i, 1000 + i));
    }
    EXPECT_EQ(store.Count(), qly::kShadowMaxIcons);
    EXPECT_LE(store.Bytes(), qly::kShadowMaxBytes);
    EXPECT_EQ(store.Oldest()->uid, 88u) << "the oldest 88 go first";
    for (uint32_t i = 0; i < 600; ++i)
        EXPECT_EQ(g_released[1000 + i], i < 88 ? 1 : 0) << "icon copy of icon " << i;
    EXPECT_FALSE(store.Contains(0x10000 + 87, 87));
    EXPECT_TRUE(store.Contains(0x10000 + 599, 599));
}

TEST_F(Shadow, LargeRequestsAreBoundedByTheMegabyte) {
    constexpr uint32_t kLarge = 4096 - 8;  // the largest request the shell's hook takes
    size_t kept = 0;
    for (uint32_t i = 0; i < 400; ++i) {
        std::vector<uint8_t> add = Request(notify_wire::kAdd, 0x20000 + i, i, 0x7, u"big", kLarge);
        ASSERT_TRUE(store.Keep(add.data(), add.size(), 0x20000 + i, 0));
        EXPECT_LE(store.Bytes(), qly::kShadowMaxBytes);
        kept = store.Count();
    }
    const size_t fit = qly::kShadowMaxBytes / (sizeof(qly::ShadowEntry) + 4096);
    EXPECT_EQ(kept, fit);
    EXPECT_EQ(store.Oldest()->uid, 400u - fit) << "the oldest go first";
    // Growing a kept request past the bound drops the oldest others, never itself.
    store.Clear();
    for (uint32_t i = 0; i + 1 < fit; ++i) {
        std::vector<uint8_t> add = Request(notify_wire::kAdd, 0x20000 + i, i, 0x7, u"big", kLarge);
        ASSERT_TRUE(store.Keep(add.data(), add.size(), 0x20000 + i, 0));
    }
    std::vector<uint8_t> small = Add(0x30000, 1);
    ASSERT_TRUE(store.Keep(small.data(), small.size(), 0x30000, 0));
    const std::vector<uint8_t> filler = Request(notify_wire::kAdd, 0x40000, 0, 0x7, u"", 24);
    for (uint32_t i = 0;
         store.Bytes() + sizeof(qly::ShadowEntry) + filler.size() <= qly::kShadowMaxBytes; ++i) {
        std::vector<uint8_t> f = filler;
        notify_wire::PutU32(f, notify_wire::kOffUid, i);
        ASSERT_TRUE(store.Keep(f.data(), f.size(), 0x40000, 0));
    }
    const size_t before = store.Count();
    std::vector<uint8_t> grow = Request(notify_wire::kModify, 0x30000, 1, 0x4, u"grown", kLarge);
    ASSERT_TRUE(store.Update(grow.data(), grow.size(), 0));
    EXPECT_LE(store.Bytes(), qly::kShadowMaxBytes);
    EXPECT_LT(store.Count(), before) << "nothing made room for the grown request";
    EXPECT_FALSE(store.Contains(0x20000, 0)) << "the oldest did not go first";
    ASSERT_TRUE(store.Contains(0x30000, 1));
    EXPECT_EQ(notify_wire::GetString(GiveBack(*store.Find(0x30000, 1)), notify_wire::kOffTip, 128),
              u"grown");
}

}  // namespace
