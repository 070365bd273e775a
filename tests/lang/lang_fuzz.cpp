// Fuzz target over everything that reads a language file's or a template's bytes: the
// profile syntax, the escapes, the tab rule, the key list and the dialog-template reader.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "app/lang/dialog_template.h"
#include "app/lang/lang_text.h"
#include "app/lang/language_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto file = qly::lang::LanguageFile::Parse(bytes);
    (void)file.DisplayName();
    for (const auto& section : file.Sections()) {
        for (const auto& key : file.Keys(section)) {
            auto value = file.Get(section, key).value_or("");
            auto text = qly::lang::Unescape(value, qly::lang::kMaxControlText);
            if (text.size() > qly::lang::kMaxControlText) {
                __builtin_trap();
            }
            (void)qly::lang::LeadingControlId(key);
            auto menu = qly::lang::ApplyMenuTabRule(key, value);
            if (menu.size() > qly::lang::kMaxMenuText) {
                __builtin_trap();
            }
        }
    }
    (void)qly::lang::SplitKeyList(bytes.data(), bytes.size(), size / 2, size % 2 == 1);
    if (auto t = qly::lang::ParseDialogTemplate(data, size)) {
        for (const auto& c : t->controls) {
            (void)qly::lang::IsRestorableControl(c);
        }
    }
    return 0;
}
