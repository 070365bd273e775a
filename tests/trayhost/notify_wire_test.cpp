// The byte layout of requests that the test clients build: every field at the offset the
// shell's format puts it, for every size a caller may send, with nothing written past the
// caller's size.
#include <gtest/gtest.h>

#include "tools/notifyclient/notify_wire.h"

namespace nw = notify_wire;

namespace {

nw::NotifyFields Sample() {
    nw::NotifyFields f;
    f.command = nw::kModify;
    f.hwnd = 0x00012345;
    f.uid = 0x11223344;
    f.flags = 0x1F;
    f.callback_message = 0x8001;
    f.icon = 0xCAFE0001;
    f.tip = u"Tip";
    f.state = 1;
    f.state_mask = 3;
    f.info = u"Info";
    f.timeout_or_version = 4;
    f.info_title = u"Title";
    f.info_flags = 0x24;
    for (int i = 0; i < 16; ++i)
        f.guid[i] = static_cast<uint8_t>(0xA0 + i);
    f.balloon_icon = 0xBA110000;
    return f;
}

}  // namespace

TEST(NotifyWire, FullRequestPutsEveryFieldAtItsOffset) {
    const std::vector<uint8_t> p = nw::BuildPayload(Sample(), nw::kSizeFull);
    ASSERT_EQ(p.size(), 964u);
    EXPECT_EQ(nw::GetU32(p, 0), 0x34753423u);
    EXPECT_EQ(nw::GetU32(p, 4), 1u);
    EXPECT_EQ(nw::GetU32(p, 8), 956u);
    EXPECT_EQ(nw::GetU32(p, 12), 0x00012345u);
    EXPECT_EQ(nw::GetU32(p, 16), 0x11223344u);
    EXPECT_EQ(nw::GetU32(p, 20), 0x1Fu);
    EXPECT_EQ(nw::GetU32(p, 24), 0x8001u);
    EXPECT_EQ(nw::GetU32(p, 28), 0xCAFE0001u);
    EXPECT_EQ(nw::GetString(p, 32, 128), u"Tip");
    EXPECT_EQ(nw::GetU32(p, 288), 1u);
    EXPECT_EQ(nw::GetU32(p, 292), 3u);
    EXPECT_EQ(nw::GetString(p, 296, 256), u"Info");
    EXPECT_EQ(nw::GetU32(p, 808), 4u);
    EXPECT_EQ(nw::GetString(p, 812, 64), u"Title");
    EXPECT_EQ(nw::GetU32(p, 940), 0x24u);
    EXPECT_EQ(p[944], 0xA0);
    EXPECT_EQ(p[959], 0xAF);
    EXPECT_EQ(nw::GetU32(p, 960), 0xBA110000u);
}

TEST(NotifyWire, LittleEndianBytes) {
    const std::vector<uint8_t> p = nw::BuildPayload(Sample(), nw::kSizeFull);
    EXPECT_EQ(p[0], 0x23);
    EXPECT_EQ(p[1], 0x34);
    EXPECT_EQ(p[2], 0x75);
    EXPECT_EQ(p[3], 0x34);
    EXPECT_EQ(p[32], 'T');
    EXPECT_EQ(p[33], 0);
}

TEST(NotifyWire, EachVersionEndsWhereItsStructureEnds) {
    struct Case {
        uint32_t size;
        size_t payload;
        bool has_state, has_guid, has_balloon;
    };
    const Case cases[] = {
        {nw::kSizeV1, 160, false, false, false},
        {nw::kSizeV2, 944, true, false, false},
        {nw::kSizeV3, 960, true, true, false},
        {nw::kSizeFull, 964, true, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.size);
        const std::vector<uint8_t> p = nw::BuildPayload(Sample(), c.size);
        ASSERT_EQ(p.size(), c.payload);
        EXPECT_EQ(nw::GetU32(p, 8), c.size);
        EXPECT_EQ(nw::GetU32(p, 288), c.has_state ? 1u : 0u);
        EXPECT_EQ(p.size() > 944 ? p[944] : 0, c.has_guid ? 0xA0 : 0);
        EXPECT_EQ(nw::GetU32(p, 960), c.has_balloon ? 0xBA110000u : 0u);
    }
}

TEST(NotifyWire, AFirstVersionTipHoldsSixtyThreeCharactersAndItsTerminator) {
    nw::NotifyFields f = Sample();
    f.tip = std::u16string(100, u'x');
    const std::vector<uint8_t> p = nw::BuildPayload(f, nw::kSizeV1);
    EXPECT_EQ(nw::GetString(p, 32, 64), std::u16string(63, u'x'));
    EXPECT_EQ(p[32 + 126], 0);
    EXPECT_EQ(p[32 + 127], 0);
    const std::vector<uint8_t> full = nw::BuildPayload(f, nw::kSizeFull);
    EXPECT_EQ(nw::GetString(full, 32, 128), std::u16string(100, u'x'));
}

TEST(NotifyWire, LongTextsAreCutToTheirFieldsWithATerminator) {
    nw::NotifyFields f = Sample();
    f.tip = std::u16string(300, u't');
    f.info = std::u16string(300, u'i');
    f.info_title = std::u16string(300, u'h');
    const std::vector<uint8_t> p = nw::BuildPayload(f, nw::kSizeFull);
    EXPECT_EQ(nw::GetString(p, 32, 128).size(), 127u);
    EXPECT_EQ(nw::GetString(p, 296, 256).size(), 255u);
    EXPECT_EQ(nw::GetString(p, 812, 64).size(), 63u);
    EXPECT_EQ(nw::GetU32(p, 288), 1u);  // the tip did not run into dwState
    EXPECT_EQ(nw::GetU32(p, 808), 4u);
    EXPECT_EQ(nw::GetU32(p, 940), 0x24u);
}

TEST(NotifyWire, AnOversizedRequestIsZeroPaddedBeyondTheFullStructure) {
    const std::vector<uint8_t> p = nw::BuildPayload(Sample(), 1000);
    ASSERT_EQ(p.size(), 1008u);
    EXPECT_EQ(nw::GetU32(p, 960), 0xBA110000u);
    for (size_t i = 964; i < p.size(); ++i)
        EXPECT_EQ(p[i], 0) << i;
}

TEST(NotifyWire, SizeNames) {
    uint32_t s = 0;
    EXPECT_TRUE(nw::ParseSizeName("v1", &s));
    EXPECT_EQ(s, 152u);
    EXPECT_TRUE(nw::ParseSizeName("v2", &s));
    EXPECT_EQ(s, 936u);
    EXPECT_TRUE(nw::ParseSizeName("v3", &s));
    EXPECT_EQ(s, 952u);
    EXPECT_TRUE(nw::ParseSizeName("full", &s));
    EXPECT_EQ(s, 956u);
    EXPECT_TRUE(nw::ParseSizeName("500", &s));
    EXPECT_EQ(s, 500u);
    EXPECT_FALSE(nw::ParseSizeName("v4", &s));
    EXPECT_FALSE(nw::ParseSizeName("", &s));
    EXPECT_FALSE(nw::ParseSizeName("12x", &s));
}

TEST(NotifyWire, Utf8TextBecomesUtf16) {
    EXPECT_EQ(nw::Utf8ToUtf16("a\xC3\xA9\xE2\x82\xAC"), u"a\u00e9\u20ac");
    EXPECT_EQ(nw::Utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
}
