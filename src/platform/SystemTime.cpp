#include "System.h"

namespace tw::platform {

using namespace tw::win;

namespace {

// Days from 1970-01-01 to a civil date, and back (proleptic Gregorian calendar).
long long daysFromCivil(long long y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

void civilFromDays(long long z, int& y, int& m, int& d)
{
    z += 719468;
    const long long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long long yy = static_cast<long long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

constexpr long long kDaysFrom1601To1970 = 134774;

} // namespace

SystemTime fileTimeToSystemTime(FILETIME time)
{
    const unsigned long long ms = time / 10000;
    const long long days = static_cast<long long>(ms / 86400000ULL);
    const unsigned long long msOfDay = ms % 86400000ULL;
    SystemTime st;
    civilFromDays(days - kDaysFrom1601To1970, st.year, st.month, st.day);
    st.dayOfWeek = static_cast<int>((days + 1) % 7); // 1601-01-01 was a Monday
    st.hour = static_cast<int>(msOfDay / 3600000);
    st.minute = static_cast<int>(msOfDay / 60000 % 60);
    st.second = static_cast<int>(msOfDay / 1000 % 60);
    st.milliseconds = static_cast<int>(msOfDay % 1000);
    return st;
}

FILETIME systemTimeToFileTime(const SystemTime& time)
{
    const long long days = daysFromCivil(time.year, static_cast<unsigned>(time.month),
                                         static_cast<unsigned>(time.day)) +
                           kDaysFrom1601To1970;
    const long long ms = ((days * 24 + time.hour) * 60 + time.minute) * 60000LL +
                         time.second * 1000LL + time.milliseconds;
    return static_cast<FILETIME>(ms) * 10000ULL;
}

} // namespace tw::platform
