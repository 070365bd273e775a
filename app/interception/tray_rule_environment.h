// The environment the rule engine decides in once interception runs: the platform's facts
// about windows, plus the icon registry's stored requests and the replay of one of them
// to the real tray. Installed when the receiver starts.
#pragma once

#include "app/settings/rule_engine.h"

namespace qly {

void InstallTrayRuleEnvironment();

}  // namespace qly
