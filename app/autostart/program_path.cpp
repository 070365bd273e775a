// ExtractProgramPath and the lookup name; see program_path.h.
#include "app/autostart/program_path.h"

namespace qly {

namespace {

constexpr size_t kNone = std::string_view::npos;

// Where `c` stands in `text` as a character of its own (never as a trail byte), the first
// or the last time.
size_t FindCharacter(std::string_view text, char c, bool last, LeadByteTest is_lead_byte) {
    size_t found = kNone;
    for (size_t i = 0; i < text.size(); ++i) {
        if (is_lead_byte != nullptr && is_lead_byte(static_cast<unsigned char>(text[i]))) {
            ++i;
            continue;
        }
        if (text[i] == c) {
            found = i;
            if (!last)
                break;
        }
    }
    return found;
}

// At most `max` bytes of `text`, never ending inside a double-byte character.
std::string_view CutAt(std::string_view text, size_t max, LeadByteTest is_lead_byte) {
    size_t end = 0;
    while (end < text.size()) {
        size_t next = end + 1;
        if (is_lead_byte != nullptr && is_lead_byte(static_cast<unsigned char>(text[end])))
            ++next;
        if (next > max || next > text.size())
            break;
        end = next;
    }
    return text.substr(0, end);
}

bool Exists(const std::string& candidate, const PathProbe& probe) {
    if (candidate.empty())
        return false;
    const std::string expanded = probe.expand ? probe.expand(candidate) : candidate;
    return !expanded.empty() && probe.exists(expanded);
}

// The candidate as written, then without its double quotes.
bool Try(std::string_view candidate, const PathProbe& probe, std::string* path) {
    std::string text(candidate);
    if (Exists(text, probe)) {
        *path = std::move(text);
        return true;
    }
    if (text.find('"') == std::string::npos)
        return false;
    std::string bare;
    for (char c : text)
        if (c != '"')
            bare += c;
    if (!Exists(bare, probe))
        return false;
    *path = std::move(bare);
    return true;
}

// The command up to one character before `at`: the blank that normally stands before a
// switch goes with it.
bool TryBefore(std::string_view command, size_t at, const PathProbe& probe, std::string* path) {
    return at >= 1 && Try(command.substr(0, at - 1), probe, path);
}

}  // namespace

std::string_view FileNamePart(std::string_view path, bool slash_too, LeadByteTest is_lead_byte) {
    size_t cut = FindCharacter(path, '\\', true, is_lead_byte);
    if (slash_too) {
        const size_t slash = FindCharacter(path, '/', true, is_lead_byte);
        if (slash != kNone && (cut == kNone || slash > cut))
            cut = slash;
    }
    return cut == kNone ? path : path.substr(cut + 1);
}

bool ExtractProgramPath(std::string_view command, const PathProbe& probe, std::string* path) {
    // "/" is no separator here: it begins a switch ("C:\Tools\agent.exe /tray").
    const std::string_view name = FileNamePart(command, false, probe.is_lead_byte);
    const size_t name_at = command.size() - name.size();
    const size_t slash = FindCharacter(name, '/', false, probe.is_lead_byte);
    if (slash != kNone && TryBefore(command, name_at + slash, probe, path))
        return true;
    const size_t dash = FindCharacter(name, '-', true, probe.is_lead_byte);
    if (dash != kNone && TryBefore(command, name_at + dash, probe, path))
        return true;
    // A quoted program followed by arguments that begin with neither "/" nor "-".
    if (!command.empty() && command[0] == '"') {
        const size_t close = command.find('"', 1);
        if (close != kNone && Try(command.substr(1, close - 1), probe, path))
            return true;
    }
    return false;
}

std::string LookupName(std::string_view path,
                       const LongPathOf& long_path,
                       LeadByteTest is_lead_byte) {
    std::string name(CutAt(FileNamePart(path, true, is_lead_byte), kLookupNameMax, is_lead_byte));
    // An owner's executable is known by its long name; "PROGRA~1.EXE" is only its alias.
    if (long_path && FindCharacter(name, '~', false, is_lead_byte) != kNone) {
        const std::string long_form = long_path(std::string(path));
        if (!long_form.empty())
            name = std::string(
                CutAt(FileNamePart(long_form, true, is_lead_byte), kLookupNameMax, is_lead_byte));
    }
    while (!name.empty() && (name.back() == ' ' || (name.back() >= '\t' && name.back() <= '\r')))
        name.pop_back();
    return name;
}

}  // namespace qly
