// ShowAutostartGroup and ApplyAutostartGroup; see own_autostart_group.h.
#include "app/autostart/own_autostart_group.h"

#include <windows.h>

#include "app/autostart/own_autostart.h"
#include "app/base/program_names.h"
#include "app/base/unique_handle.h"
#include "app/diag/process_utils.h"
#include "app/settings/registry_ops.h"
#include "app/settings/settings_store.h"
#include "hooklib/qlydll.h"

namespace qly {

AutostartGroupState ShowAutostartGroup() {
    AutostartGroupFacts facts;
    facts.run_once_present = QueryAutostart(&facts.user_value);
    facts.shortcut_exists = StartupShortcutExists();
    ReadSettingDword("DelayRunQly", &facts.delay_ms);
    facts.new_users = MachineAutoRunQly();
    facts.rights = HasMachineRights();
    return PlanAutostartGroup(facts);
}

void ApplyAutostartGroup(const AutostartGroupState& shown, const AutostartGroupChoice& chosen) {
    AutostartApplyInput input;
    input.previous = ModeFromStored(g_settings.desired_run_once);
    input.chosen = chosen.mode;
    input.check_again = chosen.check_again;
    input.new_users_shown = shown.new_users;
    input.new_users_chosen = chosen.new_users;
    input.rights = HasMachineRights();
    input.vista = g_flag_WinVista != 0;
    input.user_is_admin = IsUserAdmin() == 1;
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    input.elevation_full_or_unknown = !GetElevationType(&type) || type == TokenElevationTypeFull;
    const AutostartApplyPlan plan = PlanAutostartApply(input);

    switch (plan.registration) {
        case AutostartRegistration::kInstall:
            InstallAutostart();
            break;
        case AutostartRegistration::kRemoveForUser:
            RemoveAutostart(false);
            break;
        case AutostartRegistration::kRemoveTotal:
            RemoveAutostart(true);
            break;
    }
    g_settings.desired_run_once = static_cast<uint32_t>(plan.mode);
    g_settings.desired_start_up = chosen.check_again ? 1 : 0;
    if (plan.create_shortcut)
        CreateStartupShortcut(kStartupLinkArguments);
    else
        DeleteStartupShortcut();
    WriteSettingDword("DelayRunQly", chosen.delay_ms);
    if (plan.write_new_users) {
        UniqueKey machine;
        if (OpenSettingsKey(HKEY_LOCAL_MACHINE, kSettingsKeyPath, machine.out(), 0) ==
            ERROR_SUCCESS)
            WriteDword(machine.get(), "AutoRunQly", plan.new_users);
    }
    if (plan.request_elevation) {
        WriteSettingDword("DesiredRunOnce", g_settings.desired_run_once);
        WriteSettingDword("DesiredStartUp", g_settings.desired_start_up);
        WriteSettingDword("DesiredAutoRun", plan.new_users);
        RequestElevatedApply();
    }
}

}  // namespace qly
