// A language file read from bytes with the rules of the system's profile reader: section
// lines in brackets, key=value lines, names compared without case, surrounding blanks and
// double quotes removed, the first of duplicated sections and keys wins. Used where the
// profile functions are not at hand: the native tests, the coverage check of the shipped
// files and the fuzz target. Any input parses; what makes no sense is ignored.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qly::lang {

class LanguageFile {
  public:
    static LanguageFile Parse(std::string_view bytes);

    // Value of a key (quotes removed, escapes not applied), from the first section and the
    // first key of that name.
    std::optional<std::string> Get(std::string_view section, std::string_view key) const;
    // Key names of the first section of that name, in file order, without duplicates.
    std::vector<std::string> Keys(std::string_view section) const;
    // Section names in file order, without duplicates.
    std::vector<std::string> Sections() const;

    // A language file has a non-empty display name; it is cut to its limit.
    bool IsLanguageFile() const { return !DisplayName().empty(); }
    std::string DisplayName() const;

  private:
    struct Section {
        std::string name;
        std::vector<std::pair<std::string, std::string>> entries;
    };
    const Section* Find(std::string_view name) const;
    std::vector<Section> m_sections;
};

}  // namespace qly::lang
