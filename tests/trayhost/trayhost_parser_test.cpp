// trayhost's decoding of tray requests, over byte blobs: both formats, every length, cut
// and oversized input, bad signatures. Built natively too, so the sanitizers watch every
// read the decoder makes.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "tools/notifyclient/notify_wire.h"
#include "tools/trayhost/shell_request.h"

namespace nw = notify_wire;
using trayhost::ParseError;
using trayhost::ParseShellRequest;
using trayhost::ShellRequest;

namespace {

nw::NotifyFields Sample() {
    nw::NotifyFields f;
    f.command = nw::kAdd;
    f.hwnd = 0x20044;
    f.uid = 77;
    f.flags = nw::kFlagTip | nw::kFlagState | nw::kFlagMessage;
    f.callback_message = 0x8001;
    f.icon = 0x1234;
    f.tip = u"hello";
    f.state = 1;
    f.state_mask = 1;
    f.timeout_or_version = 4;
    f.info_title = u"T";
    f.balloon_icon = 0x5678;
    return f;
}

// Parses a copy on the heap of exactly `size` bytes, so an over-read is seen.
ParseError Parse(uint64_t kind,
                 uint64_t sender,
                 const std::vector<uint8_t>& bytes,
                 size_t size,
                 ShellRequest* r) {
    std::vector<uint8_t> exact(bytes.begin(), bytes.begin() + static_cast<long>(size));
    return ParseShellRequest(kind, sender, exact.empty() ? nullptr : exact.data(), size, r);
}

void PutU32(std::vector<uint8_t>& v, size_t at, uint32_t x) {
    for (int i = 0; i < 4; ++i)
        v[at + i] = static_cast<uint8_t>(x >> (8 * i));
}

void PutText(std::vector<uint8_t>& v, size_t at, const char* s) {
    for (size_t i = 0; s[i]; ++i)
        v[at + 2 * i] = static_cast<uint8_t>(s[i]);
}

}  // namespace

TEST(TrayhostParser, AFullShellRequestIsReadFieldByField) {
    const std::vector<uint8_t> p = nw::BuildPayload(Sample(), nw::kSizeFull);
    ShellRequest r;
    ASSERT_EQ(Parse(1, 0x20044, p, p.size(), &r), ParseError::kNone);
    EXPECT_EQ(r.format, ShellRequest::Format::kShell);
    EXPECT_EQ(r.command, 0u);
    EXPECT_EQ(r.hwnd, 0x20044u);
    EXPECT_EQ(r.uid, 77u);
    EXPECT_EQ(r.flags, Sample().flags);
    EXPECT_EQ(r.callback_message, 0x8001u);
    EXPECT_EQ(r.icon, 0x1234u);
    EXPECT_EQ(r.tip, u"hello");
    EXPECT_EQ(r.state, 1u);
    EXPECT_EQ(r.state_mask, 1u);
    EXPECT_EQ(r.timeout_or_version, 4u);
    EXPECT_EQ(r.info_title, u"T");
    EXPECT_EQ(r.balloon_icon, 0x5678u);
}

TEST(TrayhostParser, EveryLengthIsCheckedBeforeReading) {
    const std::vector<uint8_t> p = nw::BuildPayload(Sample(), 2000);
    for (size_t n = 0; n <= p.size(); ++n) {
        ShellRequest r;
        const ParseError e = Parse(1, 0x20044, p, n, &r);
        if (n == 0)
            EXPECT_EQ(e, ParseError::kNoData);
        else if (n < 160)
            EXPECT_EQ(e, ParseError::kTooShort) << n;
        else if (n <= 964)
            EXPECT_EQ(e, ParseError::kNone) << n;
        else
            EXPECT_EQ(e, ParseError::kTooLong) << n;
    }
}

TEST(TrayhostParser, FieldsBeyondTheGivenLengthReadAsZero) {
    const std::vector<uint8_t> p = nw::BuildPayload(Sample(), nw::kSizeFull);
    ShellRequest r;
    ASSERT_EQ(Parse(1, 0, p, 8 + nw::kSizeV1, &r), ParseError::kNone);
    EXPECT_EQ(r.bytes_given, nw::kSizeV1);
    EXPECT_EQ(r.tip, u"hello");
    EXPECT_EQ(r.state, 0u);
    EXPECT_EQ(r.state_mask, 0u);
    EXPECT_EQ(r.timeout_or_version, 0u);
    EXPECT_EQ(r.balloon_icon, 0u);
    ASSERT_EQ(Parse(1, 0, p, 8 + nw::kSizeV3, &r), ParseError::kNone);
    EXPECT_EQ(r.state, 1u);
    EXPECT_EQ(r.timeout_or_version, 4u);
    EXPECT_EQ(r.balloon_icon, 0u);
}

TEST(TrayhostParser, ATipCutByTheLengthEndsThere) {
    nw::NotifyFields f = Sample();
    f.tip = std::u16string(120, u'y');
    const std::vector<uint8_t> p = nw::BuildPayload(f, nw::kSizeFull);
    ShellRequest r;
    ASSERT_EQ(Parse(1, 0, p, 8 + nw::kSizeV1, &r), ParseError::kNone);
    EXPECT_EQ(r.tip, std::u16string(64, u'y'));
}

TEST(TrayhostParser, WithoutTheSignatureDwData1IsRefused) {
    std::vector<uint8_t> p = nw::BuildPayload(Sample(), nw::kSizeFull);
    PutU32(p, 0, 0x34753424);
    ShellRequest r;
    EXPECT_EQ(Parse(1, 0x20044, p, p.size(), &r), ParseError::kBadSignature);
    EXPECT_EQ(Parse(1, 0x20044, p, 100, &r), ParseError::kTooShort);
    EXPECT_EQ(Parse(1, 0x20044, p, 3, &r), ParseError::kTooShort);
    EXPECT_EQ(Parse(7, 0x20044, p, p.size(), &r), ParseError::kUnknownKind);
    EXPECT_EQ(ParseShellRequest(1, 0x20044, nullptr, 964, &r), ParseError::kNoData);
}

TEST(TrayhostParser, WinesRecordIsTakenWhenItsOwnerMatchesTheSender) {
    std::vector<uint8_t> w(960, 0);
    PutU32(w, 0, 0x30056);  // hWnd
    PutU32(w, 4, 9);        // uID
    PutU32(w, 8, 0x0D);     // NIF_MESSAGE | NIF_TIP | NIF_STATE
    PutU32(w, 12, 0x8044);  // callback
    PutText(w, 16, "wine tip");
    PutU32(w, 272, 1);  // dwState
    PutU32(w, 276, 1);  // dwStateMask
    PutU32(w, 792, 4);  // uVersion
    ShellRequest r;
    ASSERT_EQ(Parse(1, 0x30056, w, w.size(), &r), ParseError::kNone);
    EXPECT_EQ(r.format, ShellRequest::Format::kWine);
    EXPECT_EQ(r.command, 1u);
    EXPECT_EQ(r.hwnd, 0x30056u);
    EXPECT_EQ(r.uid, 9u);
    EXPECT_EQ(r.callback_message, 0x8044u);
    EXPECT_EQ(r.tip, u"wine tip");
    EXPECT_EQ(r.state, 1u);
    EXPECT_EQ(r.timeout_or_version, 4u);
    EXPECT_EQ(r.bits_width, 0u);
    // Another sender, a short record or an unknown command: not Wine's.
    EXPECT_NE(Parse(1, 0x30058, w, w.size(), &r), ParseError::kNone);
    EXPECT_NE(Parse(0, 0x30056, w, 959, &r), ParseError::kNone);
    EXPECT_EQ(Parse(5, 0x30056, w, w.size(), &r), ParseError::kUnknownKind);
}

TEST(TrayhostParser, WinesIconBitsAreTakenOnlyWhenComplete) {
    const uint32_t w = 16, h = 16, bpp = 32;
    const size_t and_size = (w * h + 15) / 16 * 2, xor_size = (w * h * bpp + 15) / 16 * 2;
    std::vector<uint8_t> rec(960 + and_size + xor_size, 0x5A);
    std::memset(rec.data(), 0, 960);
    PutU32(rec, 0, 0x30056);
    PutU32(rec, 8, 0x2);  // NIF_ICON
    PutU32(rec, 944, w);
    PutU32(rec, 948, h);
    PutU32(rec, 952, 1);
    PutU32(rec, 956, bpp);
    ShellRequest r;
    ASSERT_EQ(Parse(0, 0x30056, rec, rec.size(), &r), ParseError::kNone);
    EXPECT_EQ(r.bits_width, 16u);
    EXPECT_EQ(r.and_bits.size(), and_size);
    EXPECT_EQ(r.xor_bits.size(), xor_size);
    ShellRequest cut;
    ASSERT_EQ(Parse(0, 0x30056, rec, rec.size() - 1, &cut), ParseError::kNone);
    EXPECT_EQ(cut.bits_width, 0u);
    EXPECT_TRUE(cut.xor_bits.empty());
    PutU32(rec, 944, 100000);  // absurd width
    ShellRequest absurd;
    ASSERT_EQ(Parse(0, 0x30056, rec, rec.size(), &absurd), ParseError::kNone);
    EXPECT_EQ(absurd.bits_width, 0u);
}
