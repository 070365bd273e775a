// The icon's notify-data generation as QlyGetVer reports it: the version the owner set with
// NIM_SETVERSION when there is one, else a code for the size of the notify data it sent.
// Plain C++, no windows.h.
#pragma once

#include <cstdint>

namespace qly {

struct TrayItem;

// 0xFFFFFFFF for a null record.
uint32_t TrayItemVersionCode(const TrayItem* item);

}  // namespace qly
