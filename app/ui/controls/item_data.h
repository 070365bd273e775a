// How a control's one word of item data (an LPARAM or ULONG_PTR) carries a typed value: any
// trivially copyable value that fits in the word is copied in bit for bit and read back the
// same way, so the pages store their row keys without a cast at any call site.
#pragma once

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace qly {

template <typename Data>
constexpr bool kFitsItemData = std::is_trivially_copyable_v<Data> &&
                               sizeof(Data) <= sizeof(std::uintptr_t);

template <typename Data>
std::uintptr_t PackItemData(const Data& data) noexcept {
    static_assert(kFitsItemData<Data>, "item data must be trivially copyable and fit a word");
    std::uintptr_t word = 0;
    std::memcpy(&word, &data, sizeof data);
    return word;
}

template <typename Data>
Data UnpackItemData(std::uintptr_t word) noexcept {
    static_assert(kFitsItemData<Data>, "item data must be trivially copyable and fit a word");
    Data data;
    std::memcpy(&data, &word, sizeof data);
    return data;
}

}  // namespace qly
