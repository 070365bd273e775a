// Reader of dialog templates as the resource compiler stores them (resource type RT_DIALOG),
// in the classic layout and in the extended one, free of windows.h. The language layer walks
// a template to put the English texts back after a language file was switched off. Reads
// only inside the bytes it is given; a template that does not fit them gives nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qly::lang {

// A name-or-ordinal field of a template: either a UTF-16 string or a 16-bit number.
struct NameOrOrdinal {
    bool is_ordinal = false;
    std::uint16_t ordinal = 0;
    std::u16string name;
};

struct TemplateControl {
    std::uint32_t id = 0;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    NameOrOrdinal window_class;  // predefined classes are ordinals 0x80..0x85
    NameOrOrdinal text;          // an icon control names its image by ordinal
};

struct DialogTemplate {
    bool extended = false;
    std::uint32_t style = 0;
    std::int16_t x = 0, y = 0, cx = 0, cy = 0;
    std::u16string caption;
    std::vector<TemplateControl> controls;
};

std::optional<DialogTemplate> ParseDialogTemplate(const std::uint8_t* data, std::size_t size);

// Whether a control's English text is put back from the template: ids below 65535, a text
// that is a string, and a class whose window text is not what the user reads (list views,
// tab controls, hotkeys, trackbars and up-down controls hold placeholder texts).
bool IsRestorableControl(const TemplateControl& control);

}  // namespace qly::lang
