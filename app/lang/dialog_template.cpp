// Dialog template reader; see dialog_template.h.
#include "app/lang/dialog_template.h"

#include "app/lang/lang_text.h"

namespace qly::lang {
namespace {

constexpr std::uint32_t kDsSetFont = 0x40;
constexpr std::uint16_t kExtendedSignature = 0xFFFF;
// A template cannot hold more controls than its 16-bit count; this bounds the work on
// hostile input as well.
constexpr std::size_t kMaxControls = 0xFFFF;

class Reader {
  public:
    Reader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}

    bool U16(std::uint16_t& out) {
        if (m_pos > m_size || m_size - m_pos < 2) {
            return false;
        }
        out = static_cast<std::uint16_t>(m_data[m_pos] | m_data[m_pos + 1] << 8);
        m_pos += 2;
        return true;
    }
    bool U32(std::uint32_t& out) {
        std::uint16_t lo = 0, hi = 0;
        if (!U16(lo) || !U16(hi)) {
            return false;
        }
        out = static_cast<std::uint32_t>(lo) | static_cast<std::uint32_t>(hi) << 16;
        return true;
    }
    bool I16(std::int16_t& out) {
        std::uint16_t v = 0;
        if (!U16(v)) {
            return false;
        }
        out = static_cast<std::int16_t>(v);
        return true;
    }
    bool Skip(std::size_t n) {
        if (n > m_size - m_pos) {
            return false;
        }
        m_pos += n;
        return true;
    }
    bool String(std::u16string& out) {
        out.clear();
        for (;;) {
            std::uint16_t c = 0;
            if (!U16(c)) {
                return false;
            }
            if (c == 0) {
                return true;
            }
            out.push_back(static_cast<char16_t>(c));
        }
    }
    bool NameOrOrd(NameOrOrdinal& out) {
        std::uint16_t first = 0;
        if (!U16(first)) {
            return false;
        }
        out = NameOrOrdinal{};
        if (first == 0xFFFF) {
            out.is_ordinal = true;
            return U16(out.ordinal);
        }
        if (first == 0) {
            return true;
        }
        out.name.push_back(static_cast<char16_t>(first));
        std::u16string tail;
        if (!String(tail)) {
            return false;
        }
        out.name += tail;
        return true;
    }
    bool AlignDword() {
        std::size_t pad = (4 - m_pos % 4) % 4;
        // The last control may end without padding.
        if (pad > m_size - m_pos) {
            m_pos = m_size;
            return true;
        }
        m_pos += pad;
        return true;
    }

  private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

bool ReadHeader(Reader& r, DialogTemplate& t, std::uint16_t& count) {
    std::uint16_t version = 0, signature = 0;
    if (!r.U16(version) || !r.U16(signature)) {
        return false;
    }
    std::uint32_t ex_style = 0;
    if (version == 1 && signature == kExtendedSignature) {
        std::uint32_t help_id = 0;
        t.extended = true;
        if (!r.U32(help_id) || !r.U32(ex_style) || !r.U32(t.style)) {
            return false;
        }
    } else {
        // Classic layout: the two words just read are the style.
        t.style = static_cast<std::uint32_t>(version) | static_cast<std::uint32_t>(signature) << 16;
        if (!r.U32(ex_style)) {
            return false;
        }
    }
    NameOrOrdinal menu, window_class;
    if (!r.U16(count) || !r.I16(t.x) || !r.I16(t.y) || !r.I16(t.cx) || !r.I16(t.cy) ||
        !r.NameOrOrd(menu) || !r.NameOrOrd(window_class) || !r.String(t.caption)) {
        return false;
    }
    if (t.style & kDsSetFont) {
        std::uint16_t point_size = 0;
        std::u16string face;
        if (!r.U16(point_size) || (t.extended && !r.Skip(4)) || !r.String(face)) {
            return false;
        }
    }
    return true;
}

bool ReadControl(Reader& r, bool extended, TemplateControl& c) {
    std::uint32_t ex_style = 0;
    if (extended) {
        std::uint32_t help_id = 0;
        if (!r.U32(help_id) || !r.U32(ex_style) || !r.U32(c.style)) {
            return false;
        }
    } else if (!r.U32(c.style) || !r.U32(ex_style)) {
        return false;
    }
    if (!r.I16(c.x) || !r.I16(c.y) || !r.I16(c.cx) || !r.I16(c.cy)) {
        return false;
    }
    if (extended) {
        if (!r.U32(c.id)) {
            return false;
        }
    } else {
        std::uint16_t id = 0;
        if (!r.U16(id)) {
            return false;
        }
        c.id = id;
    }
    std::uint16_t extra = 0;
    return r.NameOrOrd(c.window_class) && r.NameOrOrd(c.text) && r.U16(extra) && r.Skip(extra);
}

}  // namespace

std::optional<DialogTemplate> ParseDialogTemplate(const std::uint8_t* data, std::size_t size) {
    if (data == nullptr) {
        return std::nullopt;
    }
    Reader r(data, size);
    DialogTemplate t;
    std::uint16_t count = 0;
    if (!ReadHeader(r, t, count)) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < count && i < kMaxControls; ++i) {
        TemplateControl c;
        if (!r.AlignDword() || !ReadControl(r, t.extended, c)) {
            return std::nullopt;
        }
        t.controls.push_back(std::move(c));
    }
    return t;
}

bool IsRestorableControl(const TemplateControl& control) {
    if (control.id >= 0xFFFF || control.text.is_ordinal) {
        return false;
    }
    if (control.window_class.is_ordinal) {
        return true;  // button, edit, static, list box, scroll bar, combo box
    }
    static const char* const kPlaceholderClasses[] = {"SysListView32", "SysTabControl32",
                                                      "msctls_hotkey32", "msctls_trackbar32",
                                                      "msctls_updown32"};
    std::string name;
    for (char16_t ch : control.window_class.name) {
        name.push_back(ch < 0x80 ? static_cast<char>(ch) : '?');
    }
    for (const char* excluded : kPlaceholderClasses) {
        if (EqualsIgnoreCase(name, excluded)) {
            return false;
        }
    }
    return true;
}

}  // namespace qly::lang
