// Text rules of language files; see lang_text.h.
#include "app/lang/lang_text.h"

#include <cstdio>

namespace qly::lang {

std::string Unescape(std::string_view raw, std::size_t max_chars) {
    std::string out;
    out.reserve(raw.size() < max_chars ? raw.size() : max_chars);
    for (std::size_t i = 0; i < raw.size() && out.size() < max_chars; ++i) {
        char c = raw[i];
        if (c == '\\' && i + 1 < raw.size()) {
            char next = raw[++i];
            c = next == 'n' ? '\n' : next == 'r' ? '\r' : next;
        }
        out.push_back(c);
    }
    return out;
}

std::string IdKey(unsigned id) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%05u", id);
    return buf;
}

std::string DialogSection(int id) {
    return std::to_string(id);
}

std::string MenuSection(int id) {
    return "M_" + std::to_string(id);
}

std::optional<unsigned> LeadingControlId(std::string_view key) {
    if (key.empty() || key[0] < '0' || key[0] > '9') {
        return std::nullopt;
    }
    unsigned long value = 0;
    for (char c : key) {
        if (c < '0' || c > '9') {
            break;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 0xFFFF) {
            return std::nullopt;
        }
    }
    return static_cast<unsigned>(value);
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

std::string ApplyMenuTabRule(std::string_view english,
                             std::string_view translated,
                             std::size_t max_chars) {
    std::string out;
    std::size_t english_tab = english.find('\t');
    if (english_tab == std::string_view::npos) {
        out.assign(translated);
    } else {
        out.assign(translated.substr(0, translated.find('\t')));
        out.append(english.substr(english_tab));
    }
    if (out.size() > max_chars) {
        out.resize(max_chars);
    }
    return out;
}

std::vector<std::string> SplitKeyList(const char* buffer,
                                      std::size_t length,
                                      std::size_t max_bytes,
                                      bool last_is_cut) {
    std::vector<std::string> keys;
    if (buffer == nullptr) {
        return keys;
    }
    std::size_t end = length < max_bytes ? length : max_bytes;
    std::size_t start = 0;
    while (start < end) {
        std::size_t stop = start;
        while (stop < end && buffer[stop] != '\0') {
            ++stop;
        }
        if (stop == end) {
            break;  // cut by the limit: a partial name would address the wrong control
        }
        // A line "=value" gives an empty name; it addresses nothing, and must not end the
        // list for the names after it.
        if (stop > start) {
            keys.emplace_back(buffer + start, stop - start);
        }
        start = stop + 1;
    }
    if (last_is_cut && !keys.empty()) {
        keys.pop_back();
    }
    return keys;
}

}  // namespace qly::lang
