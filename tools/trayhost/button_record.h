// The per-button record that each tray button's dwData points to, in trayhost's own memory,
// laid out as code that reads the shell's toolbar from inside the shell expects it.
// Plain C++; the layout is fixed because other code reads it by offset.
#pragma once

#include <cstddef>
#include <cstdint>

namespace trayhost {

#pragma pack(push, 1)
struct ButtonRecord {
    uint64_t owner;             // the icon's owner window
    uint32_t uid;               // the owner's icon id
    uint32_t callback_message;  // 0 when the owner gave none
    uint32_t data_word;         // the NIF_* flags of the last request that changed the icon
    uint32_t version;           // set by NIM_SETVERSION: 0, 3 or 4
};
#pragma pack(pop)

static_assert(sizeof(ButtonRecord) == 24, "per-button record size");
static_assert(offsetof(ButtonRecord, owner) == 0, "owner window at 0");
static_assert(offsetof(ButtonRecord, uid) == 8, "uID at 8");
static_assert(offsetof(ButtonRecord, callback_message) == 12, "callback message at 12");
static_assert(offsetof(ButtonRecord, data_word) == 16, "data word at 16");
static_assert(offsetof(ButtonRecord, version) == 20, "icon version at 20");

}  // namespace trayhost
