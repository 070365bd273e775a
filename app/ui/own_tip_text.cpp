// The own icon's tip text; see own_tip_text.h.
#include "app/ui/own_tip_text.h"

namespace qly {

std::string AssembleOwnTip(std::string_view name,
                           std::string_view hotkey_text,
                           std::optional<std::string_view> admin_line,
                           std::optional<std::string_view> elevation_line) {
    std::string tip(name);
    tip += hotkey_text;
    for (const auto& line : {admin_line, elevation_line}) {
        if (line) {
            tip += '\n';
            tip += *line;
        }
    }
    if (tip.size() > kOwnTipMax)
        tip.resize(kOwnTipMax);
    return tip;
}

}  // namespace qly
