// Dump, button move and add-move planning over any TrayButtonSource.
#include "hooklib/tray_buttons.h"

#include <cstring>

namespace qly {

void ParseTrayButtonData(const uint8_t* data, TrayButton* button) {
    std::memcpy(&button->owner, data + 0, 8);
    std::memcpy(&button->uid, data + 8, 4);
    std::memcpy(&button->callback, data + 12, 4);
    std::memcpy(&button->data_word, data + 16, 4);
    std::memcpy(&button->version, data + 20, 4);
}

size_t DumpTrayButtons(TrayButtonSource& source,
                       const DumpOptions& options,
                       PeekRecord* table,
                       size_t capacity,
                       uint32_t* count) {
    const int n = source.Count();
    size_t appended = 0;
    for (int i = 0; i < n && *count < capacity; ++i) {
        TrayButton button;
        if (!source.Read(i, &button))
            continue;
        PeekRecord& record = table[*count];
        // The main program may read the table while a later forward dumps again; -1 marks
        // a record that is not complete yet.
        std::memset(&record, 0, sizeof record);
        record.state = -1;
        if (!button.has_data)
            continue;
        record.owner_window = button.owner;
        record.uid = button.uid;
        record.callback_message = button.callback;
        record.tray_data_word = button.data_word;
        record.icon_version = button.version;
        if (options.icons)
            record.icon = source.MakeIcon(button);
        if (options.tips && button.text != 0 && button.text != -1)
            source.ReadTip(button, record.tip, sizeof record.tip);
        record.tip[sizeof record.tip - 1] = '\0';
        record.state = button.state;
        ++*count;
        ++appended;
    }
    return appended;
}

ButtonMovePlan PlanButtonMove(TrayButtonSource& source,
                              uint64_t owner,
                              uint32_t uid,
                              int32_t target,
                              bool raw) {
    ButtonMovePlan plan;
    const int n = source.Count();
    if (n <= 0)
        return plan;
    int visible = -1;
    for (int i = 0; i < n; ++i) {
        TrayButton button;
        if (!source.Read(i, &button))
            continue;
        if (button.state & kButtonStateHidden)
            continue;
        ++visible;
        if (target >= 0 && visible == target)
            plan.destination = i;
        if (plan.source < 0 && button.has_data && button.owner == owner && button.uid == uid)
            plan.source = i;
        if (plan.Valid())
            break;
        // One place towards the end: the first visible button after the source.
        if (target == -2 && plan.source >= 0 && i > plan.source)
            plan.destination = i;
        // One place towards the front: the last visible button before the source, or the
        // source itself when it is the first visible one.
        if (target == -1)
            plan.destination = i;
    }
    if (raw)
        plan.destination = target;
    if (!plan.Valid())
        plan = ButtonMovePlan{};
    return plan;
}

bool PlanAddMove(uint64_t answer, int count_before, int count_after, bool win_xp, AddMove* move) {
    if (answer < 2 || count_after <= count_before)
        return false;
    const bool far_end = answer == 0xFFFFFFFF;
    const int index = static_cast<int>(static_cast<uint32_t>(answer - 2));
    if (win_xp) {
        // This shell puts a new button at the front; the far end is the last index.
        move->from = 0;
        move->to = far_end ? count_after - 1 : index;
    } else {
        move->from = count_after - 1;
        move->to = far_end ? 0 : index;
    }
    return true;
}

void CopyTipBounded(const char* text,
                    size_t length,
                    char* tip,
                    size_t capacity,
                    LeadBytePredicate is_lead_byte) {
    if (capacity == 0)
        return;
    size_t n = 0;
    const size_t limit = capacity - 1;
    while (n < length && text[n] != '\0') {
        const bool lead = is_lead_byte && is_lead_byte(static_cast<uint8_t>(text[n]));
        if (lead && (n + 1 >= length || text[n + 1] == '\0'))
            break;  // a lead byte without its trail byte is no character
        const size_t width = lead ? 2 : 1;
        if (n + width > limit)
            break;
        n += width;
    }
    std::memcpy(tip, text, n);
    tip[n] = '\0';
}

}  // namespace qly
