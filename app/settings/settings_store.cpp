// LoadSettings and SaveSettings over the per-user settings key; see settings_store.h.
#include "app/settings/settings_store.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/diag/log.h"
#include "app/diag/message_box_seam.h"
#include "app/settings/icon_blob.h"
#include "app/settings/registry_key_store.h"
#include "app/settings/registry_ops.h"
#include "app/settings/rule_store.h"
#include "app/settings/rules_lock.h"
#include "hooklib/qlydll.h"

namespace qly {

SettingsValues g_settings;
SettingsPassword g_settings_password;
RuleList g_rule_list;
uint32_t g_settings_change_flags = 0;

namespace {

std::function<void(const IconRule&)> g_rule_dropped;
// Guarded by the rules lock, like the list they are about.
bool g_rules_loaded = false;
std::vector<std::string> g_pending_notes;
std::atomic<bool> g_user_told{false};

const char kPasswordWordName[] = "hot_key_vkey_00";
const char kPasswordBytesName[] = "hot_key_mod_00";

class RegistryValueStore : public SettingValueStore {
  public:
    explicit RegistryValueStore(HKEY key) : m_key(key) {}
    bool Read(const char* name, uint32_t& value) override {
        return ReadDword(m_key, name, &value) == ERROR_SUCCESS;
    }
    bool Write(const char* name, uint32_t value) override {
        return WriteDword(m_key, name, value) == ERROR_SUCCESS;
    }

  private:
    HKEY m_key;
};

void Note(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    g_pending_notes.push_back(text);
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

// The number of values the registry refused.
size_t SavePassword(HKEY key, const SettingsPassword& pw) {
    size_t failed = 0;
    if (WriteDword(key, kPasswordWordName, EncodePasswordWord(pw.length, pw.ask_before_menu)) !=
        ERROR_SUCCESS) {
        ++failed;
    }
    // An unreadable password keeps its stored bytes untouched. A cleared password leaves
    // old bytes behind; the zero length word makes them meaningless.
    if (pw.length > 0 && pw.length <= kPasswordCapacity && !pw.unreadable &&
        RegSetValueExA(key, kPasswordBytesName, 0, REG_BINARY, pw.scrambled.data(), pw.length) !=
            ERROR_SUCCESS) {
        ++failed;
    }
    return failed;
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
            Note("Stored rule \"%s\" skipped: %s; it is kept as it is", value.name.c_str(),
                 DescribeVerdict(why));
        });
    // Loading twice must not double the rules (the next save would store each one twice).
    g_rule_list.clear();
    g_rules_loaded = loaded;
    if (!loaded) {
        Note("Stored rules could not be read; they are not saved over in this run");
        return;
    }
    for (const StoredRule& s : stored)
        g_rule_list.push_back(RuleFromStored(s));
}

void LogSaveFailure(const SettingsSaveResult& r, long key_error) {
    if (!r.key_opened) {
        LogLine("Settings not saved: the settings key could not be opened (error %ld)\n",
                key_error);
        return;
    }
    if (r.values_not_written)
        LogLine("Settings not saved: %u values were refused\n",
                static_cast<unsigned>(r.values_not_written));
    if (r.rules_held_back)
        LogLine("Stored rules not saved: they could not be read at start\n");
    else if (!r.rules_written)
        LogLine("Stored rules not saved: the RULES key could not be rewritten\n");
}

}  // namespace

SettingsTable ProgramSettingsTable() {
    return MakeSettingsTable(g_settings, {&g_flag_reverse_tray, &g_flag_late_intercept,
                                          &g_flag_dump_always, &g_flag_high_priority});
}

void SetRuleDroppedHandler(std::function<void(const IconRule&)> handler) {
    g_rule_dropped = std::move(handler);
}

void LoadSettings() {
    bool key_failed = false;
    {
        RulesGuard lock(RulesLock());
        g_pending_notes.clear();
        UniqueKey key;
        const LONG rc = OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1);
        if (rc != ERROR_SUCCESS) {
            key.reset();
            // Every read would fail: the defaults stay, and the rules are unknown.
            g_rules_loaded = false;
            Note("Settings key could not be opened (error %ld); the defaults are used", rc);
            key_failed = true;
        } else {
            RegistryValueStore values(key.get());
            LoadSettingsTable(ProgramSettingsTable(), values, g_pending_notes);
            LoadPassword(key.get(), g_settings_password);
            LoadRules(key.get());
        }
    }
    if (key_failed)
        Beep(5000, 5000);
    // Loaded again while the log is open: the notes need not wait.
    if (LogEnabled())
        WritePendingSettingsNotes();
}

void WritePendingSettingsNotes() {
    std::vector<std::string> notes;
    {
        RulesGuard lock(RulesLock());
        notes.swap(g_pending_notes);
    }
    for (const std::string& note : notes)
        LogLine("%s\n", note.c_str());
}

SettingsSaveResult SaveSettings() {
    // The whole save under the rules lock: the receiver thread reads the list and
    // DefaultFlags, and two saves must not interleave their writes to RULES.
    RulesGuard lock(RulesLock());
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

    SettingsSaveResult result;
    UniqueKey key;
    const LONG rc = OpenSettingsKey(HKEY_CURRENT_USER, kSettingsKeyPath, key.out(), 1);
    if (rc != ERROR_SUCCESS) {
        result.key_opened = false;
        result.rules_written = false;
        LogSaveFailure(result, rc);
        return result;
    }
    RegistryValueStore value_store(key.get());
    result.values_not_written = SaveSettingsTable(ProgramSettingsTable(), value_store);
    result.values_not_written += SavePassword(key.get(), g_settings_password);

    if (!g_rules_loaded) {
        result.rules_held_back = true;
        result.rules_written = false;
    } else {
        RegistryKeyStore store(key.get());
        result.rules_written = SaveStoredRules(store, stored);
    }
    if (!result.ok())
        LogSaveFailure(result, ERROR_SUCCESS);
    return result;
}

void TellUserSaveFailed(HWND owner, const SettingsSaveResult& result) {
    if (result.ok() || g_user_told.exchange(true))
        return;
    const char* text =
        result.rules_held_back && result.key_opened && result.values_not_written == 0
            ? "Quillory could not read your stored icon rules when it started, so it did not "
              "save its rules over them. Rules changed in this session are lost when Quillory "
              "ends."
            : "Quillory could not save its settings in the registry. Your changes stay in "
              "effect until Quillory ends, but are lost then.";
    DiagMessageBox(owner, text, "Quillory", MB_OK | MB_ICONWARNING | MB_SETFOREGROUND);
}

}  // namespace qly
