#pragma once
// Moments for the fake clock, given as a local date and time.
#include <chrono>
#include <cstdint>

inline int64_t LocalMicroseconds(int year, unsigned month, unsigned day, int hour = 0, int minute = 0,
                                 int second = 0, int millisecond = 0)
{
    using namespace std::chrono;
    const sys_days date = year_month_day{std::chrono::year(year), std::chrono::month(month), std::chrono::day(day)};
    const int64_t days = date.time_since_epoch().count();
    return ((days * 24 + hour) * 3600 + minute * 60 + second) * int64_t(1000000) + int64_t(millisecond) * 1000;
}
