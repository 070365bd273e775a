// The state of the run; see program_state.h.
#include "app/ui/program_state.h"

#include "app/settings/settings_store.h"

namespace qly {

ProgramState& App() {
    static ProgramState state;
    return state;
}

void Sound(uint32_t bit, DWORD frequency, DWORD duration) {
    if (g_settings.flag_sounds & bit)
        Beep(frequency, duration);
}

}  // namespace qly
