// The platform's SYSTEMTIME as the calendar time that the log and dump texts are made from.
#pragma once

#include <windows.h>

#include "app/diag/civil_time.h"

namespace qly {

inline CivilTime ToCivilTime(const SYSTEMTIME& time) {
    CivilTime civil;
    civil.year = time.wYear;
    civil.month = time.wMonth;
    civil.day = time.wDay;
    civil.hour = time.wHour;
    civil.minute = time.wMinute;
    civil.second = time.wSecond;
    civil.weekday = time.wDayOfWeek;
    return civil;
}

}  // namespace qly
