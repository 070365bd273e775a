// The Tray Programs page's decisions; see tray_programs_model.h.
#include "app/ui/settings/tray_programs_model.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "app/settings/rule_flags.h"

namespace qly {

namespace {

// Process names compare as the rule engine compares them: A to Z folded, nothing else.
std::string FoldedName(const std::string& name) {
    std::string folded = name;
    for (char& c : folded)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return folded;
}

char VersionCharacter(uint32_t version) {
    if (version < 10)
        return static_cast<char>('0' + version);
    // Letters from 10 on; what would run past the printable range stays at its end.
    const uint32_t offset = version - 10;
    return offset <= static_cast<uint32_t>('~' - 'A') ? static_cast<char>('A' + offset) : '~';
}

std::string Cut(std::string text) {
    if (text.size() > kRowTextMax)
        text.resize(kRowTextMax);
    return text;
}

// The stored rules not yet taken by a live icon, found by program and id in log time: for
// each program, its rules per icon id and its any-id rules, each set in rule-list order.
class RemainingRules {
  public:
    explicit RemainingRules(const std::vector<StoredRuleFacts>& rules) : m_taken(rules.size()) {
        for (size_t i = 0; i < rules.size(); ++i) {
            Program& program = m_programs[FoldedName(rules[i].process_name)];
            if (rules[i].icon_id == ANY_ICON_ID)
                program.any.insert(i);
            else
                program.by_id[rules[i].icon_id].insert(i);
        }
    }

    // Takes the first remaining rule of the program for `uid` or for any id.
    void TakeFirstFor(const std::string& process_name, uint32_t uid) {
        auto program = m_programs.find(FoldedName(process_name));
        if (program == m_programs.end())
            return;
        std::set<size_t>* own = nullptr;
        if (auto id = program->second.by_id.find(uid); id != program->second.by_id.end())
            own = &id->second;
        std::set<size_t>* any = &program->second.any;
        std::set<size_t>* from = nullptr;
        if (own && !own->empty())
            from = own;
        if (!any->empty() && (from == nullptr || *any->begin() < *from->begin()))
            from = any;
        if (from == nullptr)
            return;
        m_taken[*from->begin()] = true;
        from->erase(from->begin());
    }

    bool Taken(size_t index) const { return m_taken[index]; }

  private:
    struct Program {
        std::map<uint32_t, std::set<size_t>> by_id;
        std::set<size_t> any;
    };
    std::unordered_map<std::string, Program> m_programs;
    std::vector<bool> m_taken;
};

}  // namespace

std::string LiveRowText(const LiveIconFacts& icon) {
    const bool merged = icon.item_flags == 1;
    if (!merged && !icon.hidden_by_owner && icon.hook_version == 0)
        return Cut(icon.tip);
    std::string marker = kLiveMarker;
    if (merged)
        marker[2] = 'P';
    if (icon.hidden_by_owner)
        marker[4] = 'H';
    marker[6] = VersionCharacter(icon.hook_version);
    return Cut(marker + icon.tip);
}

std::string OfflineRowText(const std::string& process_name) {
    return Cut(kOfflineMarker + process_name);
}

TrayProgramsRows BuildTrayProgramsRows(const std::vector<LiveIconFacts>& live,
                                       const std::vector<StoredRuleFacts>& rules) {
    TrayProgramsRows out;
    out.rows.reserve(live.size() + rules.size());
    RemainingRules remaining(rules);
    size_t sequence = 0;
    for (size_t i = 0; i < live.size(); ++i) {
        remaining.TakeFirstFor(live[i].process_name, live[i].uid);
        out.rows.push_back({RowKind::kLive, i, live[i].position, sequence++, LiveRowText(live[i])});
    }
    for (size_t r = 0; r < rules.size() && out.offline.size() < kMaxOfflineRows; ++r) {
        if (remaining.Taken(r))
            continue;
        out.rows.push_back({RowKind::kOffline, out.offline.size(),
                            RuleSpecialPosition(rules[r].flags), sequence++,
                            OfflineRowText(rules[r].process_name)});
        out.offline.push_back(r);
    }
    std::sort(out.rows.begin(), out.rows.end(), [](const DisplayEntry& a, const DisplayEntry& b) {
        // A position of 0 is "none" and goes after every real one: 0 - 1 is the largest.
        const uint32_t ka = a.position - 1, kb = b.position - 1;
        return ka != kb ? ka < kb : a.sequence < b.sequence;
    });
    return out;
}

int TrayIndexOfFlags(uint32_t flags) {
    return (flags & RF_TRAY_DEFAULT)   ? kVisibleDefault
           : (flags & RF_TRAY_VISIBLE) ? kVisibleAlways
                                       : kVisibleNever;
}

int MenuIndexOfFlags(uint32_t flags) {
    return (flags & RF_MENU_DEFAULT)   ? kVisibleDefault
           : (flags & RF_MENU_VISIBLE) ? kVisibleAlways
                                       : kVisibleNever;
}

uint32_t TrayBitsOfIndex(int index) {
    return index == kVisibleAlways    ? RF_TRAY_VISIBLE
           : index == kVisibleDefault ? RF_TRAY_DEFAULT
                                      : 0;
}

uint32_t MenuBitsOfIndex(int index) {
    return index == kVisibleAlways    ? RF_MENU_VISIBLE
           : index == kVisibleDefault ? RF_MENU_DEFAULT
                                      : 0;
}

uint32_t FlagsWithVisibility(uint32_t old_flags, int tray_index, int menu_index) {
    return (old_flags & ~0xFFu) | TrayBitsOfIndex(tray_index) | MenuBitsOfIndex(menu_index);
}

PositionChange PlanPositionChange(const std::vector<PositionRow>& rows,
                                  size_t selected,
                                  PositionAction action,
                                  uint32_t default_flags) {
    PositionChange change;
    if (selected >= rows.size())
        return change;
    const PositionRow& row = rows[selected];
    const uint32_t p = row.position();
    uint32_t highest = 0;
    for (const PositionRow& r : rows)
        highest = std::max(highest, r.position());

    switch (action) {
        case PositionAction::kCheckOn:
            if (highest != 0)
                change.target = std::min(highest + 1, kMaxSpecialPosition);
            else
                change.target = row.live ? 1 : std::min(p + 1000, kMaxSpecialPosition);
            break;
        case PositionAction::kCheckOff:
            change.target = 0;
            break;
        case PositionAction::kDown:
            change.target = p == 0 ? 0 : p - 1;
            break;
        case PositionAction::kUp:
            change.target = std::min(p + 1, kMaxSpecialPosition);
            break;
    }
    change.new_flags = (change.target << kSpecialPositionShift) | (row.flags & 0xFF);

    const bool arrow = action == PositionAction::kDown || action == PositionAction::kUp;
    if (arrow && change.target != 0 && change.target != p) {
        for (size_t i = 0; i < rows.size(); ++i) {
            if (i != selected && rows[i].position() == change.target) {
                change.partner = i;
                break;
            }
        }
    }
    if (change.partner && rows[*change.partner].live) {
        const PositionRow& partner = rows[*change.partner];
        change.partner_changes = true;
        change.partner_new_flags = (p << kSpecialPositionShift) | (partner.flags & 0xFF);
        if (row.live && ShownInTray(change.new_flags, default_flags) &&
            ShownInTray(change.partner_new_flags, default_flags))
            change.move_code = action == PositionAction::kDown ? -1 : -2;
    }
    change.resort = !arrow && highest != 0;
    return change;
}

DetailState DetailsFor(uint32_t flags, uint32_t validity, bool any_icon, bool sorted_tray) {
    DetailState d;
    d.tray_index = TrayIndexOfFlags(flags);
    d.menu_index = MenuIndexOfFlags(flags);
    d.tray_enabled = (validity & 0x1) != 0;
    d.menu_enabled = (validity & 0x2) != 0;
    d.any_icon_checked = any_icon;
    d.position = RuleSpecialPosition(flags);
    d.position_checked = d.position != 0;
    const bool positions = sorted_tray && (validity & 0x1) != 0;
    d.position_check_enabled = positions;
    d.position_number_enabled = positions && d.position != 0;
    d.arrows_enabled = positions && d.position != 0;
    d.delete_enabled = !RuleCarriesNoInformation(flags);
    return d;
}

}  // namespace qly
