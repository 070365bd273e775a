// The record the hook forwards to the main program, byte for byte, built from notify
// requests of every size a program may send, and the requests it refuses to forward.
#include "hooklib/forward_record.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace {

void PutU32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    std::memcpy(&b[at], &v, 4);
}
uint32_t GetU32(const std::vector<uint8_t>& b, size_t at) {
    uint32_t v;
    std::memcpy(&v, &b[at], 4);
    return v;
}
uint64_t GetU64(const std::vector<uint8_t>& b, size_t at) {
    uint64_t v;
    std::memcpy(&v, &b[at], 8);
    return v;
}

// A request as the shell receives it: signature, command, then notify data with 32-bit
// handles; the tail after the icon handle is a recognisable byte pattern.
std::vector<uint8_t> ShellRequest(size_t size, uint32_t command = qly::kNimModify) {
    std::vector<uint8_t> b(size < 32 ? 32 : size);
    for (size_t i = 0; i < b.size(); ++i)
        b[i] = static_cast<uint8_t>(i * 7 + 3);
    PutU32(b, 0, qly::kShellNotifySignature);
    PutU32(b, 4, command);
    PutU32(b, 8, static_cast<uint32_t>(size - 8));  // the notify data's own cbSize
    PutU32(b, 12, 0xF0012345);                      // hWnd, high bit set
    PutU32(b, 16, 77);                              // uID
    PutU32(b, 20, qly::kNifMessage | qly::kNifIcon | qly::kNifTip);
    PutU32(b, 24, 0x8123);      // callback message
    PutU32(b, 28, 0x80ABCDEF);  // hIcon, high bit set
    b.resize(size);
    return b;
}

std::vector<uint8_t> Forward(const std::vector<uint8_t>& request,
                             uint64_t kind = 1,
                             size_t capacity = qly::kMaxForwardRecord) {
    std::vector<uint8_t> out(capacity, 0xCC);
    const size_t n = qly::BuildForwardRecord(0x1234567890ABCDEFull, kind, request.data(),
                                             request.size(), out.data(), out.size());
    out.resize(n);
    return out;
}

TEST(ForwardedRecord, CarriesEveryRequestSizeWithWidenedHandlesAndAZeroHeader) {
    // 32: the fixed part only; 160/512/964: the shell's sizes over the years; 4096: the
    // largest request still forwarded; odd sizes for good measure.
    for (size_t size : {size_t{32}, size_t{33}, size_t{160}, size_t{512}, size_t{964}, size_t{1001},
                        qly::kMaxNotifyRequest}) {
        SCOPED_TRACE(size);
        const std::vector<uint8_t> request = ShellRequest(size);
        const std::vector<uint8_t> record = Forward(request);
        ASSERT_EQ(record.size(), size + 180);

        EXPECT_EQ(GetU32(record, 0), size + 180);               // total size
        EXPECT_EQ(GetU64(record, 156), 0x1234567890ABCDEFull);  // sender window
        EXPECT_EQ(GetU32(record, 164), 1u);                     // copy-data kind
        // Item flags, executable name, menu rectangle, list row, icon version: zero.
        for (size_t at = 4; at < 156; ++at)
            ASSERT_EQ(record[at], 0) << "header byte " << at;
        EXPECT_EQ(GetU32(record, 168), 0u);

        EXPECT_EQ(GetU32(record, 172), qly::kShellNotifySignature);
        EXPECT_EQ(GetU32(record, 176), qly::kNimModify);
        EXPECT_EQ(GetU32(record, 180), size - 8 + 8);   // the request's cbSize plus 8
        EXPECT_EQ(GetU64(record, 184), 0xF0012345ull);  // zero-extended, not sign-extended
        EXPECT_EQ(GetU32(record, 192), 77u);
        EXPECT_EQ(GetU32(record, 196), qly::kNifMessage | qly::kNifIcon | qly::kNifTip);
        EXPECT_EQ(GetU32(record, 200), 0x8123u);
        EXPECT_EQ(GetU64(record, 204), 0x80ABCDEFull);
        ASSERT_EQ(0, std::memcmp(&record[212], &request[32], size - 32)) << "notify data tail";
    }
}

TEST(ForwardedRecord, RefusesWhatIsNotAWellFormedShellRequest) {
    std::vector<uint8_t> good = ShellRequest(964);
    EXPECT_EQ(Forward(good).size(), 964u + 180);

    // Too short for the fields the record widens, or oversized.
    EXPECT_TRUE(Forward(ShellRequest(31)).empty());
    EXPECT_TRUE(Forward(ShellRequest(qly::kMaxNotifyRequest + 1)).empty());
    EXPECT_TRUE(Forward(ShellRequest(8)).empty());

    // Wine's own shell32 sends dwData 1 without the signature.
    std::vector<uint8_t> unsigned_request = good;
    PutU32(unsigned_request, 0, 0);
    EXPECT_TRUE(Forward(unsigned_request).empty());

    // Not a notify request at all.
    EXPECT_TRUE(Forward(good, 0).empty());
    EXPECT_TRUE(Forward(good, 2).empty());
    EXPECT_TRUE(Forward(good, 0x100000001ull).empty());

    // No data.
    std::vector<uint8_t> out(qly::kMaxForwardRecord);
    EXPECT_EQ(qly::BuildForwardRecord(1, 1, nullptr, 964, out.data(), out.size()), 0u);

    // A buffer too small for the record is not written past.
    std::vector<uint8_t> small(964 + 179, 0xCC);
    EXPECT_EQ(qly::BuildForwardRecord(1, 1, good.data(), good.size(), small.data(), small.size()),
              0u);
    for (uint8_t b : small)
        ASSERT_EQ(b, 0xCC);
}

TEST(ForwardedRecord, OwnerOfTheRequestIsTheZeroExtendedWindow) {
    const std::vector<uint8_t> request = ShellRequest(160);
    EXPECT_EQ(qly::NotifyRequestOwner(request.data()), 0xF0012345ull);
}

}  // namespace
