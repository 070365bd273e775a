// A calendar time as the platform reports it (local or UTC, the caller knows which),
// so the texts built from a time can be made and tested without a clock.
#pragma once

namespace qly {

struct CivilTime {
    int year = 1970;
    int month = 1;  // 1 to 12
    int day = 1;    // 1 to 31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int weekday = 4;  // 0 = Sunday
};

}  // namespace qly
