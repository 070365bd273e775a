// What the hook does with the tray's toolbar buttons, apart from the toolbar itself: the
// dump of the buttons into the shared PeekRecord table, the search for a button to move,
// and where a button that an accepted add created goes. The Win32 layer reads the real
// toolbar through a TrayButtonSource; tests feed a list of buttons. Plain C++, no windows.h.
#pragma once

#include <cstddef>
#include <cstdint>

#include "hooklib/peek_record.h"
#include "hooklib/tray_item.h"

namespace qly {

// TBSTATE_HIDDEN in a button's fsState.
constexpr uint8_t kButtonStateHidden = 0x08;

// The shell's per-button data that a tray button's dwData points to.
constexpr size_t kTrayButtonDataSize = 24;

// One toolbar button as the hook sees it.
struct TrayButton {
    uint8_t state = 0;       // fsState
    bool has_data = false;   // dwData was not null
    uint64_t owner = 0;      // per-button data @0
    uint32_t uid = 0;        // @8
    uint32_t callback = 0;   // @12
    uint32_t data_word = 0;  // @16
    uint32_t version = 0;    // @20
    int32_t bitmap = -1;     // iBitmap, the image list index
    intptr_t text = 0;       // iString: a string pointer, a string index, 0 or -1
};

// Decodes the 24 bytes of the shell's per-button data.
void ParseTrayButtonData(const uint8_t* data, TrayButton* button);

// A toolbar as the dump and the move read it.
class TrayButtonSource {
  public:
    virtual int Count() = 0;
    virtual bool Read(int index, TrayButton* button) = 0;
    // An icon made from the toolbar's image list for the button, or 0.
    virtual uint64_t MakeIcon(const TrayButton& button) = 0;
    // The button's text in the 8-bit code page into tip (capacity bytes, always
    // terminated); empty when it has none.
    virtual void ReadTip(const TrayButton& button, char* tip, size_t capacity) = 0;

  protected:
    ~TrayButtonSource() = default;
};

struct DumpOptions {
    bool icons = false;
    bool tips = false;
};

// Appends a record for every button with data to table, from *count on, stopping when
// the table is full: a tray with more buttons than the table holds is dumped as far as
// it fits, never past it. Returns the number of records appended.
size_t DumpTrayButtons(TrayButtonSource& source,
                       const DumpOptions& options,
                       PeekRecord* table,
                       size_t capacity,
                       uint32_t* count);

// Visible mode: target >= 0 is the target's place among the visible buttons, -1 one
// visible place towards the front, -2 one towards the end. Raw mode: target is a toolbar
// index.
struct ButtonMovePlan {
    int source = -1;
    int destination = -1;
    bool Valid() const { return source >= 0 && destination >= 0; }
};
ButtonMovePlan PlanButtonMove(TrayButtonSource& source,
                              uint64_t owner,
                              uint32_t uid,
                              int32_t target,
                              bool raw);

// Where the button that an accepted add has just created goes, given the answer of the
// main program (2 + k or 0xFFFFFFFF) and the button counts before and after the tray
// handled the add. False when nothing is to be moved.
struct AddMove {
    int from = 0;
    int to = 0;
};
bool PlanAddMove(uint64_t answer, int count_before, int count_after, bool win_xp, AddMove* move);

// g_flag_reverse_tray of the sorted order, the only one whose answer reads the toolbar.
constexpr uint32_t kTrayOrderSorted = 2;

// Whether the toolbar dump before a forward can serve the answer: only the place of a new
// icon in the sorted order is taken from it, and only while the extra check is on.
constexpr bool DumpServesAnswer(uint32_t dump_always, uint32_t tray_order, uint32_t command) {
    return dump_always != 0 && tray_order == kTrayOrderSorted && command == kNimAdd;
}

// Bounded tip copy: takes at most capacity - 1 bytes of the converted text, never ends on
// a lone lead byte of a double-byte character, and always terminates.
using LeadBytePredicate = bool (*)(uint8_t byte);
void CopyTipBounded(const char* text,
                    size_t length,
                    char* tip,
                    size_t capacity,
                    LeadBytePredicate is_lead_byte);

}  // namespace qly
