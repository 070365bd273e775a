// Requests that no shell32 sends: too short, too long, without the signature, without data.
// The tray refuses each with FALSE, takes nothing from it, does not fault, and still works.
#include <gtest/gtest.h>

#include <random>

#include "tests/support/callback_recorder.h"
#include "tests/support/tray_host.h"
#include "tests/support/tray_wire.h"

using namespace qly_test;
namespace nw = notify_wire;

namespace {

class TrayhostMalformed : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(m_host.Started());
        m_tray = m_host.Tray();
        m_owner = m_recorder.NewOwner();
        m_add = Fields(nw::kAdd, m_owner, 1);
        m_add.flags = nw::kFlagTip | nw::kFlagMessage;
        m_add.callback_message = 0x8001;
        m_add.tip = u"malformed";
    }
    // After a refused request: no button, no fault, and a good request still works.
    void ExpectRefusedAndHealthy(const WireResult& r) {
        EXPECT_TRUE(r.delivered);
        EXPECT_EQ(r.result, FALSE);
        const TrayState s = m_host.State();
        EXPECT_TRUE(s.tray);
        EXPECT_TRUE(s.buttons.empty());
        EXPECT_EQ(m_host.Command("faults"), 0);
        nw::NotifyFields good = m_add;
        good.uid = 999;
        const WireResult ok = SendNotify(m_tray, m_owner, nw::BuildPayload(good, nw::kSizeFull));
        EXPECT_EQ(ok.result, TRUE);
        EXPECT_EQ(m_host.State().buttons.size(), 1u);
        const nw::NotifyFields gone = Fields(nw::kDelete, m_owner, 999);
        EXPECT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(gone, nw::kSizeFull)).result, TRUE);
    }
    TrayHost m_host;
    CallbackRecorder m_recorder;
    HWND m_tray = nullptr;
    HWND m_owner = nullptr;
    nw::NotifyFields m_add;
};

}  // namespace

TEST_F(TrayhostMalformed, ShorterThanTheFirstVersionIsRefused) {
    std::vector<uint8_t> p = nw::BuildPayload(m_add, nw::kSizeV1);
    p.resize(p.size() - 1);
    ExpectRefusedAndHealthy(SendNotify(m_tray, m_owner, p));
}

TEST_F(TrayhostMalformed, OnlyTheSignatureIsRefused) {
    std::vector<uint8_t> p = nw::BuildPayload(m_add, nw::kSizeFull);
    p.resize(4);
    ExpectRefusedAndHealthy(SendNotify(m_tray, m_owner, p));
}

TEST_F(TrayhostMalformed, LongerThanTheFullStructureIsRefused) {
    ExpectRefusedAndHealthy(
        SendNotify(m_tray, m_owner, nw::BuildPayload(m_add, nw::kSizeFull + 1)));
}

TEST_F(TrayhostMalformed, AFarTooLongRequestIsRefused) {
    ExpectRefusedAndHealthy(SendNotify(m_tray, m_owner, nw::BuildPayload(m_add, 65536)));
}

TEST_F(TrayhostMalformed, AWrongSignatureIsRefused) {
    std::vector<uint8_t> p = nw::BuildPayload(m_add, nw::kSizeFull);
    nw::PutU32(p, nw::kOffSignature, 0x34753424);
    ExpectRefusedAndHealthy(SendNotify(m_tray, m_owner, p));
}

TEST_F(TrayhostMalformed, NullDataIsRefused) {
    ExpectRefusedAndHealthy(SendCopyData(m_tray, m_owner, 1, nullptr, 964));
    ExpectRefusedAndHealthy(SendCopyData(m_tray, m_owner, 1, nullptr, 0));
}

TEST_F(TrayhostMalformed, AnEmptyPayloadIsRefused) {
    const uint8_t byte = 0;
    ExpectRefusedAndHealthy(SendCopyData(m_tray, m_owner, 1, &byte, 0));
}

TEST_F(TrayhostMalformed, OtherCopyDataKindsAreRefused) {
    const std::vector<uint8_t> p = nw::BuildPayload(m_add, nw::kSizeFull);
    ExpectRefusedAndHealthy(
        SendCopyData(m_tray, m_owner, 0x54484354, p.data(), static_cast<DWORD>(p.size())));
    ExpectRefusedAndHealthy(
        SendCopyData(m_tray, m_owner, 5, p.data(), static_cast<DWORD>(p.size())));
}

TEST_F(TrayhostMalformed, EveryCutOfAFullRequestIsAnsweredWithoutFault) {
    const std::vector<uint8_t> p = nw::BuildPayload(m_add, nw::kSizeFull);
    for (size_t n = 0; n < 8 + nw::kSizeV1; n += 7) {
        const WireResult r = SendCopyData(m_tray, m_owner, 1, p.data(), static_cast<DWORD>(n));
        EXPECT_TRUE(r.delivered);
        EXPECT_EQ(r.result, FALSE) << n;
    }
    EXPECT_EQ(m_host.Command("faults"), 0);
    EXPECT_TRUE(m_host.State().buttons.empty());
}

// Random requests, many of them with the signature or Wine's owner field in place so that
// they get past the first checks: whatever is accepted or refused, trayhost never faults
// and keeps answering.
TEST_F(TrayhostMalformed, RandomRequestsNeverMakeTheTrayFault) {
    std::mt19937 rng(20240601);
    for (int i = 0; i < 300; ++i) {
        std::vector<uint8_t> p(rng() % 2000);
        for (auto& b : p)
            b = static_cast<uint8_t>(rng());
        const int shape = static_cast<int>(rng() % 3);
        if (shape == 1 && p.size() >= 4)
            nw::PutU32(p, 0, nw::kSignature);
        if (shape == 2 && p.size() >= 4)
            nw::PutU32(p, 0, Wire32(m_owner));
        const ULONG_PTR kind = rng() % 6;
        const WireResult r =
            SendCopyData(m_tray, m_owner, kind, p.data(), static_cast<DWORD>(p.size()));
        ASSERT_TRUE(r.delivered) << i;
    }
    EXPECT_EQ(m_host.Command("faults"), 0);
    EXPECT_TRUE(m_host.State().tray);
    nw::NotifyFields good = m_add;
    good.uid = 0x7FFF0001;
    EXPECT_EQ(SendNotify(m_tray, m_owner, nw::BuildPayload(good, nw::kSizeFull)).result, TRUE);
}
