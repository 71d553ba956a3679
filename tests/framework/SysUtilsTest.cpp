#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <memory>

#include "framework/SysUtils.h"
#include "platform/Clock.h"

namespace {

struct Ymd
{
    int y, m, d;
    bool operator==(const Ymd&) const = default;
};

Ymd decodeDate(TDateTime value)
{
    uint16_t y, m, d;
    DecodeDate(value, y, m, d);
    return {y, m, d};
}

// h * 10000000 + n * 100000 + s * 1000 + ms, so one comparison shows the whole time.
int decodeTime(TDateTime value)
{
    uint16_t h, n, s, ms;
    DecodeTime(value, h, n, s, ms);
    return h * 10000000 + n * 100000 + s * 1000 + ms;
}

// Date and time as one value; before 1899-12-30 the time counts away from zero.
TDateTime at(TDateTime date, TDateTime time) { return date >= 0 ? date + time : date - time; }

template <class F>
std::string conversionError(F f)
{
    try
    {
        f();
    }
    catch (const EConvertError& e)
    {
        return e.Message();
    }
    return "no error";
}

TEST(DateTimeEncode, KnownDayNumbersAndLeapYears)
{
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0);
    EXPECT_EQ(EncodeDate(1900, 2, 28), 60);  // no phantom 1900-02-29
    EXPECT_EQ(EncodeDate(1900, 3, 1), 61);
    EXPECT_EQ(EncodeDate(1970, 1, 1), UnixDateDelta);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526);
    EXPECT_EQ(EncodeDate(2026, 12, 7), 46363);
    EXPECT_EQ(EncodeDate(1850, 6, 1), -18109);
    EXPECT_EQ(EncodeDate(1, 1, 1), 1 - DateDelta);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465);
    EXPECT_EQ(EncodeTime(6, 0, 0, 0), 0.25);
    for (int leap : {4, 2000, 2024})
        EXPECT_TRUE(IsLeapYear(leap)) << leap;
    for (int common : {1900, 2023, 2100})
        EXPECT_FALSE(IsLeapYear(common)) << common;
}

TEST(DateTimeEncode, RejectsOutOfRangeParts)
{
    const Ymd bad[] = {{0, 1, 1},    {10000, 1, 1}, {2023, 2, 29}, {1900, 2, 29}, {2100, 2, 29},
                       {2024, 0, 1}, {2024, 13, 1}, {2024, 4, 31}, {2024, 1, 0},  {2024, 1, 32}};
    for (const Ymd& d : bad)
        EXPECT_EQ(conversionError([&] { EncodeDate(d.y, d.m, d.d); }),
                  "Invalid argument to date encode")
            << d.y << "-" << d.m << "-" << d.d;
    EXPECT_NO_THROW(EncodeDate(2000, 2, 29));

    for (auto [h, n, s, ms] : {std::array{24, 0, 0, 0}, {0, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}})
        EXPECT_EQ(conversionError([&] { EncodeTime(h, n, s, ms); }),
                  "Invalid argument to time encode");
}

// Every day from 0001-01-01 to 9999-12-31 decodes as the calendar day after the one
// before, and encodes back to its own number.
TEST(DateTimeDecode, EveryDayFollowsTheCalendar)
{
    const int monthDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    Ymd expected{1, 1, 1};
    for (int n = 1 - DateDelta; n <= 2958465; ++n)
    {
        const Ymd got = decodeDate(n);
        ASSERT_TRUE(got == expected) << n << " is " << got.y << "-" << got.m << "-" << got.d;
        ASSERT_EQ(EncodeDate(got.y, got.m, got.d), n);
        const int y = expected.y;
        const bool leap = y % 4 == 0 && (y % 100 != 0 || y % 400 == 0);
        if (++expected.d > monthDays[expected.m - 1] + (expected.m == 2 && leap))
        {
            expected.d = 1;
            if (++expected.m > 12)
                expected = {y + 1, 1, 1};
        }
    }
    EXPECT_EQ(expected.y, 10000);
    EXPECT_TRUE(decodeDate(-DateDelta) == (Ymd{0, 0, 0}));
}

// Whole milliseconds come back exactly, also where the day number eats into the
// precision, and on the negative side, where the time counts away from zero.
TEST(DateTimeDecode, TimesRoundTripToTheMillisecond)
{
    for (TDateTime day : {EncodeDate(1, 1, 1), EncodeDate(1850, 6, 1), EncodeDate(1899, 12, 29),
                          0.0, EncodeDate(2026, 12, 7), EncodeDate(9999, 12, 31)})
    {
        for (int ms = 0; ms < 1000; ++ms)
        {
            const TDateTime v = at(day, EncodeTime(23, 59, 59, ms));
            ASSERT_EQ(decodeTime(v), 235959000 + ms) << day;
            ASSERT_TRUE(decodeDate(v) == decodeDate(day)) << day;
        }
        EXPECT_EQ(decodeTime(at(day, EncodeTime(0, 0, 0, 1))), 1);
        EXPECT_EQ(decodeTime(at(day, EncodeTime(12, 34, 56, 789))), 123456789);
    }
    EXPECT_EQ(decodeTime(-1.25), 60000000);  // 1899-12-29 06:00
    EXPECT_EQ(decodeDate(-1.25).d, 29);

    const TDateTime day = EncodeDate(2026, 12, 7);
    EXPECT_EQ(decodeTime(day + 86399999.4 / MSecsPerDay), 235959999);
    // Less than half a millisecond short of midnight is the next day.
    const TDateTime almost = day + 0.99999999999;
    EXPECT_EQ(decodeTime(almost), 0);
    EXPECT_TRUE(decodeDate(almost) == (Ymd{2026, 12, 8}));
    EXPECT_EQ(DayOfWeek(almost), 3);
}

TEST(DateTimeDecode, DayOfWeekOfKnownDates)
{
    EXPECT_EQ(DayOfWeek(EncodeDate(2026, 12, 7)), 2);  // Monday
    EXPECT_EQ(DayOfWeek(EncodeDate(1899, 12, 30)), 7);  // Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(1970, 1, 1)), 5);
    EXPECT_EQ(DayOfWeek(EncodeDate(1, 1, 1)), 2);
    EXPECT_EQ(DayOfWeek(EncodeDate(9999, 12, 31)), 6);
    // Late in the day stays on its own weekday, either side of the origin.
    EXPECT_EQ(DayOfWeek(at(EncodeDate(2026, 12, 13), EncodeTime(23, 59, 59, 999))), 1);
    EXPECT_EQ(DayOfWeek(at(EncodeDate(1850, 6, 1), EncodeTime(23, 59, 59, 999))), 7);
}

TEST(DateTimeTimeStamp, SplitsIntoDayAndMilliseconds)
{
    const TDateTime v = EncodeDate(2026, 12, 7) + EncodeTime(12, 34, 56, 789);
    const TTimeStamp ts = DateTimeToTimeStamp(v);
    EXPECT_EQ(ts.Time, 45296789);
    EXPECT_EQ(ts.Date, 46363 + DateDelta);
    EXPECT_EQ(DateTimeToTimeStamp(EncodeDate(1, 1, 1)).Date, 1);
    const TDateTime before = at(EncodeDate(1850, 6, 1), EncodeTime(12, 34, 56, 789));
    const TTimeStamp old = DateTimeToTimeStamp(before);
    EXPECT_EQ(old.Time, 45296789);
    EXPECT_EQ(old.Date, DateDelta - 18109);
    // Exactly half a millisecond goes to the even neighbour: 126562.5 and 42187.5 ms.
    EXPECT_EQ(DateTimeToTimeStamp(3.0 / 2048).Time, 126562);
    EXPECT_EQ(DateTimeToTimeStamp(1.0 / 2048).Time, 42188);

    EXPECT_DOUBLE_EQ(TimeStampToDateTime(ts), v);
    EXPECT_DOUBLE_EQ(TimeStampToDateTime(old), before);
    EXPECT_THROW(TimeStampToDateTime(TTimeStamp{.Time = 0, .Date = 0}), EConvertError);
    EXPECT_THROW(TimeStampToDateTime(TTimeStamp{.Time = -1, .Date = DateDelta}), EConvertError);
}

class DateTimeClock : public ::testing::Test
{
protected:
    void SetUp() override { previous = setClock(clock); }
    void TearDown() override { setClock(previous); }

    // 2026-12-07 08:05:03.007250, local.
    std::shared_ptr<FakeClock> clock = std::make_shared<FakeClock>(1796630703007250);
    std::shared_ptr<Clock> previous;
};

TEST_F(DateTimeClock, NowDateAndTimeReadTheClockInForce)
{
    const TDateTime day = EncodeDate(2026, 12, 7);
    EXPECT_EQ(Date(), day);
    // Microseconds are dropped, not rounded.
    EXPECT_DOUBLE_EQ(Time(), EncodeTime(8, 5, 3, 7));
    EXPECT_DOUBLE_EQ(Now(), day + EncodeTime(8, 5, 3, 7));

    clock->advanceUs(999);
    EXPECT_EQ(decodeTime(Now()), 80503008);
    clock->advanceMs(16 * 3600000LL - 1);
    EXPECT_EQ(Date(), day + 1);
    EXPECT_EQ(decodeTime(Now()), 503007);

    clock->setLocalMicroseconds(0);
    EXPECT_EQ(Now(), UnixDateDelta);
    // 1850-06-01 21:00, before the TDateTime origin.
    clock->setLocalMicroseconds((-18109LL - UnixDateDelta) * 86400000000LL + 21 * 3600000000LL);
    EXPECT_EQ(Date(), EncodeDate(1850, 6, 1));
    EXPECT_DOUBLE_EQ(Time(), EncodeTime(21, 0, 0, 0));
    EXPECT_EQ(decodeTime(Now()), 210000000);
    EXPECT_TRUE(decodeDate(Now()) == (Ymd{1850, 6, 1}));
}

TEST(DateTimeFormat, FormatsAKnownMoment)
{
    const TDateTime day = EncodeDate(2026, 12, 7);
    const TDateTime v = day + EncodeTime(8, 5, 3, 7);
    EXPECT_EQ(FormatDateTime("yyyy-mm-dd hh:nn:ss.zzz", v), "2026-12-07 08:05:03.007");
    EXPECT_EQ(FormatDateTime("d/m/yy h:n:s.z", v), "7/12/26 8:5:3.7");
    EXPECT_EQ(FormatDateTime("ddd dd mmm YYYY, dddd mmmm", v), "Mon 07 Dec 2026, Monday December");
    // m as the next letter after h, even across a separator, is the minute; only then.
    EXPECT_EQ(FormatDateTime("hh:mm mm", v), "08:05 12");
    EXPECT_EQ(FormatDateTime("hh dd mm", v), "08 07 12");
    // Quoted text is copied, letters and all; unknown letters pass through.
    EXPECT_EQ(FormatDateTime("'Clip' yyyymmdd \"at hh\" hhnn_q", v), "Clip 20261207 at hh 0805_q");
    EXPECT_EQ(FormatDateTime("c", v), "12/7/2026 8:05:03 AM");
    EXPECT_EQ(FormatDateTime("", v), "12/7/2026 8:05:03 AM");
    EXPECT_EQ(FormatDateTime("c", day), "12/7/2026");
    EXPECT_EQ(FormatDateTime("yyyy", EncodeDate(1, 1, 1)), "0001");

    EXPECT_EQ(FormatDateTime("h:nn am/pm", v), "8:05 am");
    EXPECT_EQ(FormatDateTime("hh:nn AM/PM", day + EncodeTime(20, 30, 0, 0)), "08:30 PM");
    EXPECT_EQ(FormatDateTime("h a/p", day), "12 a");
    EXPECT_EQ(FormatDateTime("h AMPM", day + EncodeTime(12, 0, 0, 0)), "12 PM");
    EXPECT_EQ(FormatDateTime("tt", day + EncodeTime(23, 59, 59, 0)), "11:59:59 PM");
    EXPECT_EQ(FormatDateTime("h", day + EncodeTime(20, 0, 0, 0)), "20");
}

TEST(SysUtilsStrings, IntegerConversions)
{
    EXPECT_EQ(IntToStr(INT_MIN), "-2147483648");
    EXPECT_EQ(IntToStr(int64_t(1) << 40), "1099511627776");
    EXPECT_EQ(StrToInt("  -42"), -42);
    EXPECT_EQ(StrToInt("+7"), 7);
    EXPECT_EQ(StrToInt("2147483647"), INT_MAX);
    EXPECT_EQ(StrToInt("-2147483648"), INT_MIN);
    EXPECT_EQ(StrToInt("$ff") + StrToInt("0x1F"), 255 + 31);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt("-$10"), -16);
    for (const char* bad : {"", " ", "-", "$", "2147483648", "-2147483649", "$100000000", "12a",
                            "1 ", "1.5", "\t1"})
        EXPECT_EQ(conversionError([&] { StrToInt(bad); }),
                  std::string("'").append(bad).append("' is not a valid integer value"));
    EXPECT_EQ(StrToIntDef("12a", -5), -5);
    EXPECT_EQ(StrToIntDef("012", -5), 12);

    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(0x12345, 2), "12345");
    EXPECT_EQ(IntToHex(0, 0), "0");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int64_t(-1), 2), "FFFFFFFFFFFFFFFF");
}

TEST(SysUtilsStrings, CaseAndTrim)
{
    EXPECT_EQ(UpperCase("abc-Z\xe9"), "ABC-Z\xe9");
    EXPECT_EQ(LowerCase("ABC-z\xc9"), "abc-z\xc9");
    EXPECT_EQ(Trim("\t\r\n a b \x01"), "a b");
    EXPECT_EQ(Trim("\xa0x\xa0"), "\xa0x\xa0");  // bytes above 127 are text
    EXPECT_EQ(Trim("   "), "");
    EXPECT_EQ(TrimLeft("  a ") + "|" + TrimRight("  a "), "a |  a");
}

}  // namespace
