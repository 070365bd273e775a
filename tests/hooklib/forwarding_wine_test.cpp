// What the main program receives for each request a program sends to the tray, and what
// its answer does to the request: swallowed, passed, or passed with the new button moved.
// Requests that are not the shell's well-formed notify requests never reach it.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "hooklib/tray_item.h"
#include "tests/hooklib/hooked_tray.h"

namespace qly_hook_test {
namespace {

using notify_wire::kAdd;
using notify_wire::kModify;

class Forwarding : public HookedTray {};

TEST_F(Forwarding, RecordCarriesTheRequestByteForByteForEverySize) {
    Intercept();
    // A handle above 2 GB must arrive zero-extended.
    HWND owner = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x80001234));
    uint32_t uid = 40;
    for (uint32_t size : {notify_wire::kSizeV1, notify_wire::kSizeV2, notify_wire::kSizeV3,
                          notify_wire::kSizeFull, 24u, 1000u}) {
        SCOPED_TRACE(size);
        m_rx.Clear();
        notify_wire::NotifyFields f = qly_test::Fields(kModify, owner, ++uid);
        f.flags = notify_wire::kFlagMessage | notify_wire::kFlagIcon | notify_wire::kFlagTip;
        f.callback_message = 0x8123;
        f.icon = 0xC0DE0001;
        f.tip = u"tip of the icon";
        f.info = u"balloon";
        f.timeout_or_version = 10000;
        const std::vector<uint8_t> payload = notify_wire::BuildPayload(f, size);
        ASSERT_TRUE(qly_test::SendNotify(Tray(), owner, payload).delivered);
        ASSERT_EQ(m_rx.Forwards().size(), 1u);
        const Received r = m_rx.Forwards()[0];

        EXPECT_EQ(r.kind, qly::ForwardTag);
        EXPECT_EQ(r.sender, reinterpret_cast<WPARAM>(Tray()));
        ASSERT_EQ(r.bytes.size(), payload.size() + 180);
        EXPECT_EQ(r.U32(0), payload.size() + 180);
        for (size_t at = 4; at < 156; ++at)
            ASSERT_EQ(r.bytes[at], 0) << "header byte " << at;
        EXPECT_EQ(r.U64(156), reinterpret_cast<uintptr_t>(owner));  // the shell's wParam
        EXPECT_EQ(r.U32(164), 1u);
        EXPECT_EQ(r.U32(168), 0u);
        EXPECT_EQ(r.U32(172), notify_wire::kSignature);
        EXPECT_EQ(r.U32(176), static_cast<uint32_t>(kModify));
        EXPECT_EQ(r.U32(180), size + 8);
        EXPECT_EQ(r.U64(184), 0x80001234u);
        EXPECT_EQ(r.U32(192), uid);
        EXPECT_EQ(r.U32(196), f.flags);
        EXPECT_EQ(r.U32(200), 0x8123u);
        EXPECT_EQ(r.U64(204), 0xC0DE0001u);
        ASSERT_EQ(0, std::memcmp(r.bytes.data() + 212, payload.data() + 32, payload.size() - 32));
        if (size >= notify_wire::kSizeV2) {
            // The tip sits where the main program reads it.
            EXPECT_EQ(r.bytes[qly::kTrayItemTipW], 't');
            EXPECT_EQ(r.U32(qly::kTrayItemVersionW), 10000u);
        }
    }
}

TEST_F(Forwarding, SwallowedRequestNeverReachesTheTrayButTheProgramSeesSuccess) {
    Intercept();
    m_rx.Script({qly::kHookReplySwallow});
    const qly_test::WireResult r = Notify(kAdd, 1);
    ASSERT_TRUE(r.delivered);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(m_host->State().buttons.empty());
    // Passed: the tray applies it and answers for itself.
    m_rx.Script({qly::kHookReplyPass});
    EXPECT_EQ(Notify(kAdd, 2).result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{2}));
    m_rx.Script({qly::kHookReplyPass});
    EXPECT_EQ(Notify(kAdd, 2).result, 0) << "the tray refuses a second add of one icon";
}

TEST_F(Forwarding, AcceptedAddIsMovedWhereTheAnswerSays) {
    Intercept();
    AddIcons(1, 3);
    m_rx.Script({qly::kHookReplyMoveBase + 1});
    ASSERT_EQ(Notify(kAdd, 4).result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 4, 2, 3}));
    m_rx.Script({qly::kHookReplyFarEnd});
    ASSERT_EQ(Notify(kAdd, 5).result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{5, 1, 4, 2, 3}));
    m_rx.Script({qly::kHookReplyMoveBase + 4});
    ASSERT_EQ(Notify(kAdd, 6).result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{5, 1, 4, 2, 6, 3}));
}

TEST_F(Forwarding, MoveIsNotLostWhileTheMainProgramLooksUpTheTrayAgain) {
    // The main program looks the tray's windows up again whenever it needs them; the shell
    // meanwhile reads the toolbar's cell to move each new button.
    Intercept();
    std::atomic<bool> stop{false};
    std::thread finder([&stop] {
        while (!stop)
            FindSpecialWindows();
    });
    m_rx.Script({}, qly::kHookReplyFarEnd);
    std::vector<uint32_t> unmoved;
    for (uint32_t uid = 1; uid <= 12; ++uid) {
        if (Notify(kAdd, uid).result != 1 || Order().front() != uid)
            unmoved.push_back(uid);
    }
    stop = true;
    finder.join();
    EXPECT_TRUE(unmoved.empty()) << unmoved.size() << " of 12 new buttons stayed at the end";
}

TEST_F(Forwarding, ShellThatAddsAtTheFrontMovesTheNewButtonFromThere) {
    g_flag_win_xp = 1;
    Intercept(L"--xp");
    AddIcons(1, 3);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{3, 2, 1}));
    m_rx.Script({qly::kHookReplyFarEnd});
    ASSERT_EQ(Notify(kAdd, 4).result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{3, 2, 1, 4}));
    m_rx.Script({qly::kHookReplyMoveBase + 2});
    ASSERT_EQ(Notify(kAdd, 5).result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{3, 2, 5, 1, 4}));
}

TEST_F(Forwarding, NothingMovesWhenNoButtonWasCreated) {
    Intercept();
    AddIcons(1, 3);
    // An add of an icon the tray has already: refused, nothing moved.
    m_rx.Script({qly::kHookReplyMoveBase + 0});
    EXPECT_EQ(Notify(kAdd, 3).result, 0);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 2, 3}));
    // A modify answered with a place is passed on, and nothing is moved.
    m_rx.Script({qly::kHookReplyMoveBase + 3});
    EXPECT_EQ(Notify(kModify, 3, notify_wire::kFlagTip, "changed").result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 2, 3}));
    EXPECT_EQ(m_host->State().Find(FakeOwner(3), 3)->tip, "changed");
    // A modify of an unknown icon that the tray turns into an add is not moved either.
    m_rx.Script({qly::kHookReplyMoveBase + 0});
    EXPECT_EQ(Notify(kModify, 4).result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1, 2, 3, 4}));
}

TEST_F(Forwarding, OwnReplayPassesUnforwarded) {
    Intercept();
    g_special_tray_op = reinterpret_cast<uintptr_t>(FakeOwner(7));
    m_rx.Script({}, qly::kHookReplySwallow);
    ASSERT_EQ(Notify(kAdd, 7).result, 1);
    EXPECT_TRUE(m_rx.Forwards().empty());
    EXPECT_EQ(Order(), (std::vector<uint32_t>{7}));
    // Another owner's request is still forwarded (and here swallowed).
    ASSERT_EQ(Notify(kAdd, 8).result, 1);
    EXPECT_EQ(m_rx.Forwards().size(), 1u);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{7}));
    // The marked owner's own modify, sent while the mark stands, meets the rules too: the
    // main program never modifies under the mark.
    ASSERT_EQ(Notify(kModify, 7, notify_wire::kFlagTip, "own change").result, 1);
    ASSERT_EQ(m_rx.Forwards().size(), 2u);
    EXPECT_EQ(m_rx.Forwards()[1].U32(176), static_cast<uint32_t>(kModify));
    EXPECT_NE(m_host->State().Find(FakeOwner(7), 7)->tip, "own change");
    // Its delete under the mark is taken for the main program's own.
    ASSERT_EQ(Notify(notify_wire::kDelete, 7).result, 1);
    EXPECT_EQ(m_rx.Forwards().size(), 2u);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{}));
}

TEST_F(Forwarding, OnlyWellFormedShellRequestsAreForwarded) {
    Intercept();
    m_rx.Script({}, qly::kHookReplySwallow);
    const std::vector<uint8_t> payload = Payload(kAdd, 1, notify_wire::kFlagMessage);
    HWND owner = FakeOwner(1);
    // Other kinds of copy data.
    for (ULONG_PTR kind : {ULONG_PTR{0}, ULONG_PTR{2}, ULONG_PTR{3}, ULONG_PTR{0x100000001}})
        qly_test::SendCopyData(Tray(), owner, kind, payload.data(), payload.size());
    // Kind 1 without the signature (Wine's own shell32 format), too short, no data at all.
    std::vector<uint8_t> unsigned_payload = payload;
    unsigned_payload[0] ^= 0xFF;
    qly_test::SendCopyData(Tray(), owner, 1, unsigned_payload.data(), unsigned_payload.size());
    qly_test::SendCopyData(Tray(), owner, 1, payload.data(), 31);
    qly_test::SendCopyData(Tray(), owner, 1, nullptr, 0);
    // Oversized.
    std::vector<uint8_t> huge = Payload(kAdd, 1, notify_wire::kFlagMessage, "", 8000);
    qly_test::SendCopyData(Tray(), owner, 1, huge.data(), huge.size());
    EXPECT_TRUE(m_rx.Forwards().empty());
    // The well-formed one is.
    qly_test::SendNotify(Tray(), owner, payload);
    EXPECT_EQ(m_rx.Forwards().size(), 1u);
}

TEST_F(Forwarding, RequestPassesAtOnceWhenTheReceiverIsGone) {
    Intercept();
    m_rx.DestroyWindowNow();
    ASSERT_FALSE(IsWindow(m_rx.Window()));
    // Delivered well within the forward's 15 s: the forward failed at once.
    const qly_test::WireResult r = qly_test::SendNotify(
        Tray(), FakeOwner(1), Payload(kAdd, 1, notify_wire::kFlagMessage), 5000);
    ASSERT_TRUE(r.delivered);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(Order(), (std::vector<uint32_t>{1}));
}

TEST_F(Forwarding, SlowAnswerStillDecidesTheRequest) {
    Intercept();
    m_rx.SetDelay(300);
    m_rx.Script({qly::kHookReplySwallow});
    EXPECT_EQ(Notify(kAdd, 1).result, 1);
    EXPECT_TRUE(m_host->State().buttons.empty());
}

}  // namespace
}  // namespace qly_hook_test
