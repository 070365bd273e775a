// QlyGetVer's classification of an icon's notify data: the version the owner set wins,
// otherwise the size of the data it sent names its generation.
#include "hooklib/version_code.h"

#include <gtest/gtest.h>

#include "hooklib/tray_item.h"

namespace {

TEST(IconVersionCode, SizeOfTheNotifyDataNamesItsGeneration) {
    const std::pair<uint32_t, uint32_t> table[] = {
        {0, 0},    {104, 14}, {168, 10}, {496, 15}, {512, 16}, {520, 17}, {944, 11},
        {960, 12}, {968, 13}, {8, 0},    {160, 0},  {964, 0},  {969, 0},  {0xFFFFFFFF, 0},
    };
    for (const auto& [cb_size, code] : table) {
        qly::TrayItem item{};
        item.cb_size = cb_size;
        EXPECT_EQ(qly::TrayItemVersionCode(&item), code) << "cbSize " << cb_size;
    }
}

TEST(IconVersionCode, VersionSetByTheOwnerOverridesTheSize) {
    qly::TrayItem item{};
    item.cb_size = 968;
    item.icon_version = 4;
    EXPECT_EQ(qly::TrayItemVersionCode(&item), 4u);
    item.cb_size = 12345;
    item.icon_version = 3;
    EXPECT_EQ(qly::TrayItemVersionCode(&item), 3u);
}

TEST(IconVersionCode, NoRecordIsAllOnes) {
    EXPECT_EQ(qly::TrayItemVersionCode(nullptr), 0xFFFFFFFFu);
}

}  // namespace
