// LoadSettings and SaveSettings over the per-user settings key; see settings_store.h.
#include "app/settings/settings_store.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/diag/log.h"
#include "app/settings/icon_blob.h"
#include "app/settings/registry_key_store.h"
#include "app/settings/registry_ops.h"
#include "app/settings/rule_store.h"
#include "hooklib/qlydll.h"

SettingsValues g_settings;
SettingsPassword g_settings_password;
RuleList g_rule_list;
uint32_t g_settings_change_flags = 0;

namespace {

std::function<void(const IconRule&)> g_rule_dropped;

const char kPasswordWordName[] = "hot_key_vkey_00";
const char kPasswordBytesName[] = "hot_key_mod_00";

std::string IndexedName(const char* prefix, int index) {
    char name[32];
    std::snprintf(name, sizeof name, "%s%d", prefix, index);
    return name;
}

void LoadPassword(HKEY key, SettingsPassword& pw) {
    uint32_t word = 0;
    if (ReadDword(key, kPasswordWordName, &word) != ERROR_SUCCESS)
        return;
    DecodePasswordWord(word, pw.length, pw.ask_before_menu);
    pw.unreadable = false;
    if (pw.length == 0)
        return;
    // A length the buffer cannot hold, or bytes that are missing or of another length,
    // cannot have been written by us. The password stays set and matches nothing: losing
    // the protection silently would be worse than asking the user to repair the value.
    if (pw.length > kPasswordCapacity) {
        pw.unreadable = true;
        return;
    }
    std::array<uint8_t, kPasswordCapacity> bytes{};
    DWORD size = pw.length;
    if (ReadRaw(key, kPasswordBytesName, bytes.data(), &size) != ERROR_SUCCESS ||
        size != pw.length) {
        pw.unreadable = true;
        return;
    }
    pw.scrambled = bytes;
}

void SavePassword(HKEY key, const SettingsPassword& pw) {
    WriteDword(key, kPasswordWordName, EncodePasswordWord(pw.length, pw.ask_before_menu));
    // An unreadable password keeps its stored bytes untouched. A cleared password leaves
    // old bytes behind; the zero length word makes them meaningless.
    if (pw.length > 0 && pw.length <= kPasswordCapacity && !pw.unreadable) {
        RegSetValueExA(key, kPasswordBytesName, 0, REG_BINARY, pw.scrambled.data(), pw.length);
    }
}

IconRule RuleFromStored(const StoredRule& stored) {
    IconRule rule;
    std::memcpy(rule.process_name, stored.process_name.data(),
                stored.process_name.size() < kProcessNameMax ? stored.process_name.size()
                                                             : kProcessNameMax);
    rule.icon_id = stored.icon_id;
    rule.flags = stored.flags;
    if (!stored.icon_blob.empty()) {
        rule.icon.reset(DeserializeIcon(stored.icon_blob.data(), stored.icon_blob.size()));
    }
    return rule;
}

StoredRule StoredFromRule(const IconRule& rule) {
    StoredRule stored;
    stored.icon_id = rule.icon_id;
    stored.process_name.assign(rule.process_name, strnlen(rule.process_name, kProcessNameMax));
    stored.flags = rule.flags;
    if (rule.icon)
        stored.icon_blob = SerializeIcon(rule.icon.get());
    return stored;
}

void LoadRules(HKEY settings_key) {
    RegistryKeyStore store(settings_key);
    std::vector<StoredRule> stored;
    const bool loaded =
        LoadStoredRules(store, stored, [](const RawValue& value, RuleValueVerdict why) {
            qly::LogLine("Stored rule \"%s\" skipped: %s\n", value.name.c_str(), DescribeVerdict(why));
        });
    // Loading twice must not double the rules (the next save would store each one twice).
    g_rule_list.clear();
    if (!loaded)
        return;
    for (const StoredRule& s : stored)
        g_rule_list.push_back(RuleFromStored(s));
}

}  // namespace

void SetRuleDroppedHandler(std::function<void(const IconRule&)> handler) {
    g_rule_dropped = std::move(handler);
}

void LoadSettings() {
    UniqueKey key;
    if (OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1) != ERROR_SUCCESS) {
        key.reset();
        Beep(5000, 5000);
        return;  // every read would fail: the defaults stay, and there are no stored rules
    }
    HKEY k = key.get();
    SettingsValues& s = g_settings;

    uint32_t value = s.flag_notify;
    if (ReadDword(k, "FlagNotify", &value) == ERROR_SUCCESS)
        s.flag_notify = value;
    value = s.default_flags;
    if (ReadDword(k, "DefaultFlags", &value) == ERROR_SUCCESS)
        s.default_flags = value;

    ReadDword(k, "ReverseTray", &g_flag_reverse_tray);
    ReadDword(k, "AutoHideMenu", &s.auto_hide_menu);
    ReadDword(k, "SortMenu", &s.sort_menu);
    ReadDword(k, "UseMinimize", &s.use_minimize);
    ReadDword(k, "LateIntercept", &g_flag_late_intercept);
    ReadDword(k, "DumpAlways", &g_flag_dump_always);
    ReadDword(k, "DesiredRunOnce", &s.desired_run_once);
    ReadDword(k, "DesiredStartUp", &s.desired_start_up);
    ReadDword(k, "FlagSounds", &s.flag_sounds);
    ReadDword(k, "HighPriority", &g_flag_high_priority);

    for (int i = 0; i < 3; ++i) {
        ReadDword(k, IndexedName("hot_key_mod_", i).c_str(), &s.hot_key_mod[i]);
        ReadDword(k, IndexedName("hot_key_vkey_", i).c_str(), &s.hot_key_vkey[i]);
    }
    LoadPassword(k, g_settings_password);
    LoadRules(k);
}

void SaveSettings() {
    UniqueKey key;
    if (OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1) != ERROR_SUCCESS) {
        return;
    }
    HKEY k = key.get();
    const SettingsValues& s = g_settings;

    for (int i = 0; i < 3; ++i) {
        WriteDword(k, IndexedName("hot_key_mod_", i).c_str(), s.hot_key_mod[i]);
        WriteDword(k, IndexedName("hot_key_vkey_", i).c_str(), s.hot_key_vkey[i]);
    }
    SavePassword(k, g_settings_password);

    WriteDword(k, "DefaultFlags", s.default_flags);
    WriteDword(k, "FlagNotify", s.flag_notify);
    WriteDword(k, "ReverseTray", g_flag_reverse_tray);
    WriteDword(k, "LateIntercept", g_flag_late_intercept);
    WriteDword(k, "DumpAlways", g_flag_dump_always);
    WriteDword(k, "UseMinimize", s.use_minimize);
    WriteDword(k, "AutoHideMenu", s.auto_hide_menu);
    WriteDword(k, "SortMenu", s.sort_menu);
    WriteDword(k, "DesiredRunOnce", s.desired_run_once);
    WriteDword(k, "DesiredStartUp", s.desired_start_up);
    WriteDword(k, "FlagSounds", s.flag_sounds);
    WriteDword(k, "HighPriority", g_flag_high_priority);

    std::vector<StoredRule> stored;
    for (auto it = g_rule_list.begin(); it != g_rule_list.end();) {
        if (RuleCarriesNoInformation(it->flags)) {
            if (g_rule_dropped)
                g_rule_dropped(*it);
            it = g_rule_list.erase(it);  // destroys its icon
        } else {
            stored.push_back(StoredFromRule(*it));
            ++it;
        }
    }
    RegistryKeyStore store(k);
    SaveStoredRules(store, stored);
}
