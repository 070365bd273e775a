// The record kept for a tray button that existed before the takeover, byte by byte: its
// size in either text layout, the assembled mark, the tip, the hidden state, the fields
// taken from the button when its owner lives; the delete request that removes a button;
// and the detail log line of a dumped button.
#include <gtest/gtest.h>

#include <cstring>

#include "app/interception/tray_dump_record.h"
#include "app/interception/tray_record.h"

namespace qly_reorder_test {

using namespace qly;  // the shared records and the code under test
namespace {

PeekRecord Button(int32_t state, const char* tip) {
    PeekRecord r = {};
    r.state = state;
    r.owner_window = 0x1234ABCDull;
    r.uid = 7;
    r.callback_message = 0x8007;
    r.icon = 0x5566;
    r.tray_data_word = 0x17;
    r.icon_version = 4;
    std::strncpy(r.tip, tip, sizeof r.tip - 1);
    return r;
}

const TrayItem* Item(const std::vector<uint8_t>& bytes) {
    return reinterpret_cast<const TrayItem*>(bytes.data());
}

TEST(AdoptedButton, LiveOwnerGivesAnAssembledRecordWithEverythingTheButtonKnows) {
    const std::vector<uint8_t> bytes =
        qly::AssembleDumpedItem(Button(0x04, "Volume"), u"Volume", true, qly::TextLayout::kWide);
    ASSERT_EQ(bytes.size(), 1124u);
    const TrayItem* item = Item(bytes);
    EXPECT_EQ(item->total_size, 1124u);
    EXPECT_EQ(item->item_flags, 1u) << "assembled: replaced by the owner's first real request";
    EXPECT_EQ(static_cast<uint64_t>(item->hwnd), 0x1234ABCDull);
    EXPECT_EQ(static_cast<uint64_t>(item->sender_window), 0x1234ABCDull);
    EXPECT_EQ(item->uid, 7u);
    EXPECT_EQ(item->callback_message, 0x8007u);
    EXPECT_EQ(static_cast<uint64_t>(item->hicon), 0x5566u);
    EXPECT_EQ(item->uflags, 7u) << "message, icon, tip";
    EXPECT_EQ(item->icon_version, 4u);
    EXPECT_EQ(std::string(qly::TipText(item, qly::TextLayout::kWide, 127).data()), "Volume");
    EXPECT_EQ(qly::ReadU32(item, 468), 0u) << "shown button: no state";
    EXPECT_EQ(qly::ReadU32(item, 472), 0u);
    EXPECT_EQ(item->exe_name[0], 0);
    EXPECT_EQ(item->command, 0u);
}

TEST(AdoptedButton, HiddenButtonIsMarkedHiddenInEitherLayout) {
    const std::vector<uint8_t> wide =
        qly::AssembleDumpedItem(Button(0x0C, "x"), u"x", true, qly::TextLayout::kWide);
    EXPECT_EQ(qly::ReadU32(Item(wide), 468), 1u);
    EXPECT_EQ(qly::ReadU32(Item(wide), 472), 1u);
    const std::vector<uint8_t> ansi =
        qly::AssembleDumpedItem(Button(0x08, "Net"), u"ignored", true, qly::TextLayout::kAnsi);
    ASSERT_EQ(ansi.size(), 676u);
    EXPECT_EQ(Item(ansi)->total_size, 676u);
    EXPECT_EQ(qly::ReadU32(Item(ansi), 340), 1u);
    EXPECT_EQ(qly::ReadU32(Item(ansi), 344), 1u);
    EXPECT_EQ(std::string(qly::TipText(Item(ansi), qly::TextLayout::kAnsi, 127).data()), "Net");
}

TEST(AdoptedButton, LongTipIsCutToTheFieldWithItsTerminator) {
    std::u16string long_tip(300, u'a');
    const std::vector<uint8_t> bytes =
        qly::AssembleDumpedItem(Button(0, ""), long_tip, true, qly::TextLayout::kWide);
    EXPECT_EQ(qly::TipText(Item(bytes), qly::TextLayout::kWide, 500).size(), 128u)
        << "127 chars + NUL";
    EXPECT_EQ(bytes[212 + 2 * 127], 0);
    EXPECT_EQ(bytes[212 + 2 * 127 + 1], 0);
    // The state right behind the tip is untouched by a long tip.
    EXPECT_EQ(qly::ReadU32(Item(bytes), 468), 0u);
}

// After a shell restart the registry replays adopted icons like any other: the record must
// make a request the tray and the hook accept (signature, size of the notify data, dwData 1).
TEST(AdoptedButton, LiveOwnerGivesARecordThatReplaysAsTheShellsRequest) {
    auto u32 = [](const std::vector<uint8_t>& request, size_t at) {
        uint32_t v;
        std::memcpy(&v, request.data() + at, 4);
        return v;
    };
    const std::vector<uint8_t> wide =
        qly::AssembleDumpedItem(Button(0x04, "Volume"), u"Volume", true, qly::TextLayout::kWide);
    EXPECT_EQ(Item(wide)->copy_data_kind, 1u);
    const std::vector<uint8_t> request = qly::ShellRequestOf(Item(wide), 0);
    ASSERT_EQ(request.size(), 944u) << "signature, command and the Unicode second version";
    EXPECT_EQ(u32(request, 0), 0x34753423u);
    EXPECT_EQ(u32(request, 4), 0u);
    EXPECT_EQ(u32(request, 8), 936u);
    EXPECT_EQ(u32(request, 12), 0x1234ABCDu);
    EXPECT_EQ(u32(request, 16), 7u);
    EXPECT_EQ(u32(request, 20), 7u);
    EXPECT_EQ(u32(request, 24), 0x8007u);

    const std::vector<uint8_t> ansi =
        qly::AssembleDumpedItem(Button(0x08, "Net"), u"ignored", true, qly::TextLayout::kAnsi);
    EXPECT_EQ(Item(ansi)->copy_data_kind, 1u);
    const std::vector<uint8_t> ansi_request = qly::ShellRequestOf(Item(ansi), 0);
    ASSERT_EQ(ansi_request.size(), 496u) << "the ANSI second version";
    EXPECT_EQ(u32(ansi_request, 0), 0x34753423u);
    EXPECT_EQ(u32(ansi_request, 8), 488u);
}

TEST(AdoptedButton, DeadOwnerLeavesOnlyTheShellOfTheRecord) {
    const std::vector<uint8_t> bytes =
        qly::AssembleDumpedItem(Button(0x04, "gone"), u"gone", false, qly::TextLayout::kWide);
    const TrayItem* item = Item(bytes);
    EXPECT_EQ(static_cast<uint64_t>(item->hwnd), 0u);
    EXPECT_EQ(static_cast<uint64_t>(item->hicon), 0u);
    EXPECT_EQ(item->uflags, 0u);
    EXPECT_EQ(item->item_flags, 1u);
}

TEST(AdoptedButton, DeleteRequestIsTheFirstVersionDeleteTheShellUnderstands) {
    const std::vector<uint8_t> record = qly::ShellDeleteRecord(0x0000ABCDull, 9);
    const std::vector<uint8_t> request = qly::ShellRequestOf(Item(record), 2);
    ASSERT_EQ(request.size(), 160u) << "signature, command and a first-version structure";
    auto u32 = [&](size_t at) {
        uint32_t v;
        std::memcpy(&v, request.data() + at, 4);
        return v;
    };
    EXPECT_EQ(u32(0), 0x34753423u);
    EXPECT_EQ(u32(4), 2u);
    EXPECT_EQ(u32(8), 152u);
    EXPECT_EQ(u32(12), 0xABCDu);
    EXPECT_EQ(u32(16), 9u);
    EXPECT_EQ(static_cast<uint64_t>(Item(record)->sender_window), 0xABCDull);
    EXPECT_EQ(Item(record)->copy_data_kind, 1u);
}

TEST(AdoptedButton, DetailLineShowsEveryFieldOfTheButton) {
    EXPECT_EQ(qly::DumpedButtonLine(Button(0x0C, "Battery 80%")),
              "0000000c 1234abcd 00000007 00008007 00005566 00000017 00000004 Battery 80%\n");
    qly::PeekRecord full = Button(-1, "");
    std::memset(full.tip, 'z', sizeof full.tip);  // no terminator in the table
    const std::string line = qly::DumpedButtonLine(full);
    EXPECT_EQ(line.substr(0, 9), "ffffffff ");
    EXPECT_EQ(line.find(std::string(64, 'z') + "\n"), line.size() - 65);
}

}  // namespace
}  // namespace qly_reorder_test
