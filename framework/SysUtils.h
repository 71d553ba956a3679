#pragma once
// Unit SysUtils: dates and times as TDateTime, and the small string conversions the
// program builds its file names and messages with.
#include <cstdint>

#include "framework/System.h"

// Whole days since 1899-12-30; the fraction is the time of day. Before 1899-12-30 the
// value is negative but its fraction still counts forward from midnight, so -1.25 is
// 1899-12-29 06:00.
using TDateTime = double;

inline constexpr int HoursPerDay = 24;
inline constexpr int MinsPerHour = 60;
inline constexpr int SecsPerMin = 60;
inline constexpr int MSecsPerSec = 1000;
inline constexpr int MinsPerDay = HoursPerDay * MinsPerHour;
inline constexpr int SecsPerDay = MinsPerDay * SecsPerMin;
inline constexpr int MSecsPerDay = SecsPerDay * MSecsPerSec;

// Days from 0001-01-01 (counted as day 1) to 1899-12-30, the TDateTime origin.
inline constexpr int DateDelta = 693594;
// Days from 1899-12-30 to 1970-01-01.
inline constexpr int UnixDateDelta = 25569;

// Days in each month, without and with 29 February.
inline constexpr uint16_t MonthDays[2][12] = {
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},
};

struct TTimeStamp
{
    int Time;  // milliseconds since midnight
    int Date;  // days since 0001-01-01, plus one
};

// The clock in force, to the millisecond.
TDateTime Now();
TDateTime Date();  // today at midnight
TDateTime Time();  // time of day only

bool IsLeapYear(uint16_t Year);

bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Date);
bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Time);
// Raise EConvertError on a date outside 0001-01-01..9999-12-31 or a time outside a day.
TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day);
TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec);

// Both round to the nearest millisecond first, so a value a fraction of a millisecond
// short of midnight decodes as the next day at 00:00:00.000. Dates before 0001-01-01
// decode as 0-0-0.
void DecodeDate(TDateTime DateTime, uint16_t& Year, uint16_t& Month, uint16_t& Day);
void DecodeTime(TDateTime DateTime, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec);

// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime DateTime);

TTimeStamp DateTimeToTimeStamp(TDateTime DateTime);
// Raises EConvertError on a negative time or a date before day 1.
TDateTime TimeStampToDateTime(const TTimeStamp& TimeStamp);

// Format letters (case-insensitive): y yy yyyy, m mm mmm mmmm, d dd ddd dddd, h hh, n nn,
// s ss, z zzz, am/pm a/p ampm (12-hour clock), aaa aaaa (day names), c t tt ddddd dddddd
// (whole dates and times). An m right after an h means minutes. "/" and ":" are the date
// and time separators; text in single or double quotes is copied. Names and the whole
// date and time layouts are fixed English (US) ones: no locale is consulted. An empty
// format means "c".
AnsiString FormatDateTime(const AnsiString& Format, TDateTime DateTime);

AnsiString IntToStr(int Value);
AnsiString IntToStr(int64_t Value);
// Accepts leading spaces, a sign, and hexadecimal after "$", "x" or "0x"; nothing after
// the digits. Raises EConvertError "'S' is not a valid integer value".
int StrToInt(const AnsiString& S);
int StrToIntDef(const AnsiString& S, int Default);
// Upper-case hexadecimal, at least Digits digits; negative values in two's complement.
AnsiString IntToHex(int Value, int Digits);
AnsiString IntToHex(int64_t Value, int Digits);

// Only 'a'..'z' and 'A'..'Z' change.
AnsiString UpperCase(const AnsiString& S);
AnsiString LowerCase(const AnsiString& S);
// Equal but for the case of 'a'..'z' and 'A'..'Z' (names, identifiers, keywords).
bool SameText(const AnsiString& S1, const AnsiString& S2);
// Remove spaces and control characters.
AnsiString Trim(const AnsiString& S);
AnsiString TrimLeft(const AnsiString& S);
AnsiString TrimRight(const AnsiString& S);
