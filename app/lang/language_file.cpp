// Language files read from bytes; see language_file.h.
#include "app/lang/language_file.h"

#include <set>

#include "app/lang/lang_text.h"

namespace qly::lang {
namespace {

std::string_view Trim(std::string_view s) {
    auto blank = [](char c) {
        return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
    };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

// UTF-16 files (with a byte-order mark) become 8-bit text; characters beyond one byte show
// as '?', as they would after a conversion to a Western code page.
std::string Decode(std::string_view bytes) {
    auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[i]); };
    if (bytes.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF) {
        return std::string(bytes.substr(3));
    }
    bool le = bytes.size() >= 2 && byte(0) == 0xFF && byte(1) == 0xFE;
    bool be = bytes.size() >= 2 && byte(0) == 0xFE && byte(1) == 0xFF;
    if (!le && !be) {
        return std::string(bytes);
    }
    std::string out;
    out.reserve(bytes.size() / 2);
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
        unsigned unit = le ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1);
        out.push_back(unit < 0x100 ? static_cast<char>(unit) : '?');
    }
    return out;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c + 32);
        }
    }
    return out;
}

}  // namespace

LanguageFile LanguageFile::Parse(std::string_view raw) {
    LanguageFile file;
    std::string text = Decode(raw);
    std::string_view rest(text);
    Section* current = nullptr;
    while (!rest.empty()) {
        std::size_t eol = rest.find('\n');
        std::string_view line = Trim(rest.substr(0, eol));
        rest.remove_prefix(eol == std::string_view::npos ? rest.size() : eol + 1);
        if (line.empty()) {
            continue;
        }
        if (line.front() == '[') {
            std::size_t close = line.find(']');
            std::string_view name = Trim(line.substr(
                1, close == std::string_view::npos ? std::string_view::npos : close - 1));
            file.m_sections.push_back(Section{std::string(name), {}});
            current = &file.m_sections.back();
            continue;
        }
        std::size_t eq = line.find('=');
        if (current == nullptr || eq == std::string_view::npos) {
            continue;  // text outside a section, or a line that is no key=value pair
        }
        std::string_view key = Trim(line.substr(0, eq));
        std::string_view value = Trim(line.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (key.empty()) {
            continue;
        }
        current->entries.emplace_back(std::string(key), std::string(value));
    }
    return file;
}

const LanguageFile::Section* LanguageFile::Find(std::string_view name) const {
    for (const Section& s : m_sections) {
        if (EqualsIgnoreCase(s.name, name)) {
            return &s;
        }
    }
    return nullptr;
}

std::optional<std::string> LanguageFile::Get(std::string_view section, std::string_view key) const {
    const Section* s = Find(section);
    if (s == nullptr) {
        return std::nullopt;
    }
    for (const auto& [k, v] : s->entries) {
        if (EqualsIgnoreCase(k, key)) {
            return v;
        }
    }
    return std::nullopt;
}

std::vector<std::string> LanguageFile::Keys(std::string_view section) const {
    std::vector<std::string> keys;
    const Section* s = Find(section);
    if (s == nullptr) {
        return keys;
    }
    std::set<std::string> seen;
    for (const auto& entry : s->entries) {
        if (seen.insert(Lower(entry.first)).second) {
            keys.push_back(entry.first);
        }
    }
    return keys;
}

std::vector<std::string> LanguageFile::Sections() const {
    std::vector<std::string> names;
    std::set<std::string> seen;
    for (const Section& s : m_sections) {
        if (seen.insert(Lower(s.name)).second) {
            names.push_back(s.name);
        }
    }
    return names;
}

std::string LanguageFile::DisplayName() const {
    std::string name = Get(kHeaderSection, kNameKey).value_or(std::string());
    if (name.size() > kMaxDisplayName) {
        name.resize(kMaxDisplayName);
    }
    return name;
}

}  // namespace qly::lang
