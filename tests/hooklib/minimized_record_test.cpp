// The record of a window in the tray, as the registry hands it back: only a whole, sound
// record brings a window back, and a window comes back without taking the focus.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <vector>

#include "hooklib/minimized_record.h"

namespace qly {
namespace {

MinimizedWindowRecord Sound() {
    MinimizedWindowRecord r;
    r.process_id = 0x44;
    r.process_start = 0x01DB000012345678;
    r.window = 0x100A6;
    r.show_command = 1;
    r.normal_rect[0] = 10;
    r.normal_rect[1] = 20;
    r.normal_rect[2] = 330;
    r.normal_rect[3] = 230;
    std::strcpy(r.title, "Notes - unsaved");
    return r;
}

TEST(MinimizedRecord, OnlyASoundRecordIsRead) {
    MinimizedWindowRecord out;
    const MinimizedWindowRecord good = Sound();
    ASSERT_TRUE(DecodeMinimizedRecord(&good, sizeof good, &out));
    EXPECT_EQ(out.window, 0x100A6u);
    EXPECT_STREQ(out.title, "Notes - unsaved");

    const std::vector<std::function<void(MinimizedWindowRecord&)>> spoil = {
        [](MinimizedWindowRecord& r) { r.magic ^= 1; },
        [](MinimizedWindowRecord& r) { r.window = 0; },
        [](MinimizedWindowRecord& r) { r.process_id = 0; },
        [](MinimizedWindowRecord& r) { r.show_command = 12; },
        [](MinimizedWindowRecord& r) { r.normal_rect[0] = 400; },  // left of right
        [](MinimizedWindowRecord& r) { std::memset(r.title, 'x', sizeof r.title); },
    };
    for (size_t i = 0; i < spoil.size(); ++i) {
        MinimizedWindowRecord bad = Sound();
        spoil[i](bad);
        out.window = 7;
        EXPECT_FALSE(DecodeMinimizedRecord(&bad, sizeof bad, &out)) << "case " << i;
        EXPECT_EQ(out.window, 7u) << "a refused record changed the output, case " << i;
    }
    unsigned char longer[sizeof(MinimizedWindowRecord) + 1] = {};
    std::memcpy(longer, &good, sizeof good);
    EXPECT_FALSE(DecodeMinimizedRecord(longer, sizeof longer, &out));
    EXPECT_FALSE(DecodeMinimizedRecord(&good, sizeof good - 1, &out));
    EXPECT_FALSE(DecodeMinimizedRecord(nullptr, sizeof good, &out));
}

TEST(MinimizedRecord, NamedByTheWindowAndShownWithoutTheFocus) {
    char name[17];
    MinimizedRecordName(0x100A6, name);
    EXPECT_STREQ(name, "00000000000100a6");
    MinimizedWindowRecord r = Sound();
    EXPECT_EQ(RestoreShowCommand(r), 4u);  // SW_SHOWNOACTIVATE
    r.show_command = 3;                    // it was maximised
    EXPECT_EQ(RestoreShowCommand(r), 7u);  // SW_SHOWMINNOACTIVE, restoring maximised
}

}  // namespace
}  // namespace qly
