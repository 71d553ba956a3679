#include "framework/SysUtils.h"

#include <cmath>
#include <string_view>

#include "platform/Clock.h"

namespace {

constexpr int64_t floorDiv(int64_t a, int64_t b)
{
    const int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

bool isLeap(int64_t year)
{
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

// A day number and a time of day as one value. Before the origin the time is taken off,
// not added, so the fraction still reads as the time of day.
TDateTime combine(int64_t days, int msOfDay)
{
    const TDateTime time = TDateTime(msOfDay) / MSecsPerDay;
    return days >= 0 ? TDateTime(days) + time : TDateTime(days) - time;
}

}  // namespace

TDateTime Now()
{
    // The classic clock reports whole milliseconds; finer digits are dropped, not rounded.
    const int64_t ms = floorDiv(currentClock().localMicroseconds(), 1000);
    const int64_t days = floorDiv(ms, MSecsPerDay);
    return combine(days + UnixDateDelta, int(ms - days * MSecsPerDay));
}

TDateTime Date()
{
    const int64_t ms = floorDiv(currentClock().localMicroseconds(), 1000);
    return TDateTime(floorDiv(ms, MSecsPerDay) + UnixDateDelta);
}

TDateTime Time()
{
    const int64_t ms = floorDiv(currentClock().localMicroseconds(), 1000);
    return TDateTime(ms - floorDiv(ms, MSecsPerDay) * MSecsPerDay) / MSecsPerDay;
}

bool IsLeapYear(uint16_t Year)
{
    return isLeap(Year);
}

bool TryEncodeDate(uint16_t Year, uint16_t Month, uint16_t Day, TDateTime& Result)
{
    if (Year < 1 || Year > 9999 || Month < 1 || Month > 12)
        return false;
    const uint16_t* table = MonthDays[IsLeapYear(Year)];
    if (Day < 1 || Day > table[Month - 1])
        return false;
    int days = Day;
    for (int i = 0; i < Month - 1; ++i)
        days += table[i];
    const int y = Year - 1;
    Result = y * 365 + y / 4 - y / 100 + y / 400 + days - DateDelta;
    return true;
}

bool TryEncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec, TDateTime& Result)
{
    if (Hour >= HoursPerDay || Min >= MinsPerHour || Sec >= SecsPerMin || MSec >= MSecsPerSec)
        return false;
    Result = TDateTime(Hour * 3600000 + Min * 60000 + Sec * 1000 + MSec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(uint16_t Year, uint16_t Month, uint16_t Day)
{
    TDateTime result;
    if (!TryEncodeDate(Year, Month, Day, result))
        throw EConvertError("Invalid argument to date encode");
    return result;
}

TDateTime EncodeTime(uint16_t Hour, uint16_t Min, uint16_t Sec, uint16_t MSec)
{
    TDateTime result;
    if (!TryEncodeTime(Hour, Min, Sec, MSec, result))
        throw EConvertError("Invalid argument to time encode");
    return result;
}

TTimeStamp DateTimeToTimeStamp(TDateTime DateTime)
{
    // Multiplied in extended precision and rounded half-to-even, as the x87 did: a time
    // encoded from whole milliseconds then comes back exactly even on large day numbers.
    const int64_t ms = std::llrint(static_cast<long double>(DateTime) * MSecsPerDay);
    TTimeStamp result;
    // Truncating division: the whole days name the day for negative values too.
    result.Date = int(DateDelta + ms / MSecsPerDay);
    const int64_t rest = ms % MSecsPerDay;
    result.Time = int(rest < 0 ? -rest : rest);
    return result;
}

TDateTime TimeStampToDateTime(const TTimeStamp& TimeStamp)
{
    if (TimeStamp.Time < 0 || TimeStamp.Date <= 0)
        throw EConvertError("'" + std::to_string(TimeStamp.Date) + "." +
                            std::to_string(TimeStamp.Time) + "' is not a valid timestamp");
    int64_t ms = int64_t(TimeStamp.Date - DateDelta) * MSecsPerDay;
    ms += ms >= 0 ? TimeStamp.Time : -int64_t(TimeStamp.Time);
    return TDateTime(ms) / MSecsPerDay;
}

void DecodeDate(TDateTime DateTime, uint16_t& Year, uint16_t& Month, uint16_t& Day)
{
    int64_t t = DateTimeToTimeStamp(DateTime).Date;
    if (t <= 0)
    {
        Year = Month = Day = 0;
        return;
    }
    constexpr int64_t D1 = 365, D4 = D1 * 4 + 1, D100 = D4 * 25 - 1, D400 = D100 * 4 + 1;
    --t;  // days since 0001-01-01
    int64_t year = 1 + 400 * (t / D400);
    t %= D400;
    // The last day of a 400- or 4-year cycle belongs to its final century or year.
    int64_t n = t / D100;
    if (n == 4)
        n = 3;
    t -= n * D100;
    year += 100 * n;
    n = t / D4;
    t -= n * D4;
    year += 4 * n;
    n = t / D1;
    if (n == 4)
        n = 3;
    t -= n * D1;
    year += n;

    const uint16_t* table = MonthDays[isLeap(year)];
    int month = 0;
    while (t >= table[month])
        t -= table[month++];
    Year = uint16_t(year);
    Month = uint16_t(month + 1);
    Day = uint16_t(t + 1);
}

void DecodeTime(TDateTime DateTime, uint16_t& Hour, uint16_t& Min, uint16_t& Sec, uint16_t& MSec)
{
    int ms = DateTimeToTimeStamp(DateTime).Time;
    MSec = uint16_t(ms % 1000);
    ms /= 1000;
    Sec = uint16_t(ms % 60);
    ms /= 60;
    Min = uint16_t(ms % 60);
    Hour = uint16_t(ms / 60);
}

int DayOfWeek(TDateTime DateTime)
{
    // Day 1 (0001-01-01) was a Monday.
    const int64_t date = DateTimeToTimeStamp(DateTime).Date;
    return int(date - floorDiv(date, 7) * 7) + 1;
}

namespace {

const char* const ShortDayNames[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const LongDayNames[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                     "Thursday", "Friday", "Saturday"};
const char* const ShortMonthNames[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const LongMonthNames[12] = {"January", "February", "March",     "April",
                                        "May",     "June",     "July",      "August",
                                        "September", "October", "November", "December"};
// The fixed stand-ins for the locale's layouts.
constexpr std::string_view ShortDateFormat = "m/d/yyyy";
constexpr std::string_view LongDateFormat = "dddd, mmmm d, yyyy";
constexpr std::string_view ShortTimeFormat = "h:mm AMPM";
constexpr std::string_view LongTimeFormat = "h:mm:ss AMPM";

char upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }
char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool startsWithNoCase(std::string_view s, size_t at, std::string_view prefix)
{
    if (s.size() - at < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i)
        if (upper(s[at + i]) != prefix[i])
            return false;
    return true;
}

class DateTimeFormatter
{
public:
    explicit DateTimeFormatter(TDateTime value)
    {
        DecodeDate(value, year_, month_, day_);
        DecodeTime(value, hour_, min_, sec_, msec_);
        dayIndex_ = DayOfWeek(value) - 1;
    }

    void append(std::string_view format)
    {
        // Whole layouts may name other layouts, but only one level deep.
        if (++level_ <= 2)
            appendLevel(format);
        --level_;
    }

    const AnsiString& text() const { return out_; }

private:
    void appendLevel(std::string_view f)
    {
        char lastToken = ' ';
        size_t i = 0;
        while (i < f.size())
        {
            const char starter = f[i++];
            size_t count = 1;
            auto takeCount = [&] {
                while (i < f.size() && f[i] == starter)
                {
                    ++i;
                    ++count;
                }
            };
            char token = upper(starter);
            if (token >= 'A' && token <= 'Z')
            {
                if (token == 'M' && lastToken == 'H')
                    token = 'N';
                lastToken = token;
            }
            switch (token)
            {
            case 'Y':
                takeCount();
                if (count <= 2)
                    number(year_ % 100, 2);
                else
                    number(year_, 4);
                break;
            case 'M':
                takeCount();
                if (count <= 2)
                    number(month_, int(count));
                else if (month_ >= 1 && month_ <= 12)
                    out_ += (count == 3 ? ShortMonthNames : LongMonthNames)[month_ - 1];
                break;
            case 'D':
                takeCount();
                if (count <= 2)
                    number(day_, int(count));
                else if (count == 3)
                    out_ += ShortDayNames[dayIndex_];
                else if (count == 4)
                    out_ += LongDayNames[dayIndex_];
                else
                    append(count == 5 ? ShortDateFormat : LongDateFormat);
                break;
            case 'H':
            {
                takeCount();
                lookAheadForHalfDay(f, i);
                int h = hour_;
                if (use12Hour_)
                    h = h == 0 ? 12 : (h > 12 ? h - 12 : h);
                number(h, count > 2 ? 2 : int(count));
                break;
            }
            case 'N':
                takeCount();
                number(min_, count > 2 ? 2 : int(count));
                break;
            case 'S':
                takeCount();
                number(sec_, count > 2 ? 2 : int(count));
                break;
            case 'Z':
                takeCount();
                number(msec_, count <= 2 ? 1 : 3);
                break;
            case 'T':
                takeCount();
                append(count == 1 ? ShortTimeFormat : LongTimeFormat);
                break;
            case 'C':
                takeCount();
                append(ShortDateFormat);
                if (hour_ != 0 || min_ != 0 || sec_ != 0)
                {
                    out_ += ' ';
                    append(LongTimeFormat);
                }
                break;
            case 'A':
                halfDayOrDayName(f, i);
                break;
            case '\'':
            case '"':
            {
                const size_t end = f.find(starter, i);
                const size_t stop = end == std::string_view::npos ? f.size() : end;
                out_.append(f.substr(i, stop - i));
                i = stop == f.size() ? stop : stop + 1;
                break;
            }
            default:
                // Includes '/' and ':', the separators, which are fixed as themselves.
                out_ += starter;
                break;
            }
        }
    }

    // An hour shown before an am/pm marker is on the 12-hour clock. The search stops at
    // the next hour or at the first 'a' outside quotes, as the classic one did.
    void lookAheadForHalfDay(std::string_view f, size_t i)
    {
        bool quoted = false;
        for (; i < f.size(); ++i)
        {
            const char c = upper(f[i]);
            if (c == '\'' || c == '"')
                quoted = !quoted;
            else if (c == 'H')
                return;
            else if (c == 'A' && !quoted)
            {
                if (startsWithNoCase(f, i, "AM/PM") || startsWithNoCase(f, i, "A/P") ||
                    startsWithNoCase(f, i, "AMPM"))
                    use12Hour_ = true;
                return;
            }
        }
    }

    void halfDayOrDayName(std::string_view f, size_t& i)
    {
        const size_t at = i - 1;
        const bool pm = hour_ >= 12;
        if (startsWithNoCase(f, at, "AM/PM"))
        {
            // The format's own letters, so "am/pm" stays lower case.
            out_.append(f.substr(pm ? at + 3 : at, 2));
            i = at + 5;
            use12Hour_ = true;
        }
        else if (startsWithNoCase(f, at, "A/P"))
        {
            out_ += f[pm ? at + 2 : at];
            i = at + 3;
            use12Hour_ = true;
        }
        else if (startsWithNoCase(f, at, "AMPM"))
        {
            out_ += pm ? "PM" : "AM";
            i = at + 4;
            use12Hour_ = true;
        }
        else if (startsWithNoCase(f, at, "AAAA"))
        {
            out_ += LongDayNames[dayIndex_];
            i = at + 4;
        }
        else if (startsWithNoCase(f, at, "AAA"))
        {
            out_ += ShortDayNames[dayIndex_];
            i = at + 3;
        }
        else
            out_ += f[at];
    }

    void number(int value, int digits)
    {
        const std::string s = std::to_string(value);
        if (int(s.size()) < digits)
            out_.append(size_t(digits) - s.size(), '0');
        out_ += s;
    }

    uint16_t year_, month_, day_, hour_, min_, sec_, msec_;
    int dayIndex_;
    int level_ = 0;
    bool use12Hour_ = false;
    AnsiString out_;
};

}  // namespace

AnsiString FormatDateTime(const AnsiString& Format, TDateTime DateTime)
{
    DateTimeFormatter formatter(DateTime);
    formatter.append(Format.empty() ? std::string_view("c") : std::string_view(Format));
    return formatter.text();
}

AnsiString IntToStr(int Value)
{
    return std::to_string(Value);
}

AnsiString IntToStr(int64_t Value)
{
    return std::to_string(Value);
}

namespace {

bool tryStrToInt(const AnsiString& s, int& result)
{
    size_t i = 0;
    while (i < s.size() && s[i] == ' ')
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    bool hex = false;
    if (i < s.size() && (s[i] == '$' || s[i] == 'x' || s[i] == 'X'))
    {
        hex = true;
        ++i;
    }
    else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X'))
    {
        hex = true;
        i += 2;
    }
    if (i == s.size())
        return false;
    // Hexadecimal spans all 32 bits (so "$FFFFFFFF" is -1); decimal must fit the sign.
    const uint64_t limit = hex ? 0xFFFFFFFFu : (negative ? 2147483648u : 2147483647u);
    const unsigned base = hex ? 16 : 10;
    uint64_t value = 0;
    for (; i < s.size(); ++i)
    {
        const char c = s[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (hex && upper(c) >= 'A' && upper(c) <= 'F')
            digit = unsigned(upper(c) - 'A' + 10);
        else
            return false;
        value = value * base + digit;
        if (value > limit)
            return false;
    }
    uint32_t bits = uint32_t(value);
    if (negative)
        bits = 0u - bits;
    result = int32_t(bits);
    return true;
}

AnsiString toHex(uint64_t value, int digits)
{
    AnsiString s;
    do
    {
        s.insert(s.begin(), "0123456789ABCDEF"[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    if (int(s.size()) < digits)
        s.insert(0, size_t(digits) - s.size(), '0');
    return s;
}

bool isBlank(char c)
{
    // Spaces and control characters; bytes above 127 are text.
    return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

int StrToInt(const AnsiString& S)
{
    int result;
    if (!tryStrToInt(S, result))
        throw EConvertError("'" + S + "' is not a valid integer value");
    return result;
}

int StrToIntDef(const AnsiString& S, int Default)
{
    int result;
    return tryStrToInt(S, result) ? result : Default;
}

AnsiString IntToHex(int Value, int Digits)
{
    return toHex(uint32_t(Value), Digits);
}

AnsiString IntToHex(int64_t Value, int Digits)
{
    return toHex(uint64_t(Value), Digits);
}

AnsiString UpperCase(const AnsiString& S)
{
    AnsiString result = S;
    for (char& c : result)
        c = upper(c);
    return result;
}

AnsiString LowerCase(const AnsiString& S)
{
    AnsiString result = S;
    for (char& c : result)
        c = lower(c);
    return result;
}

bool SameText(const AnsiString& S1, const AnsiString& S2)
{
    if (S1.size() != S2.size())
        return false;
    for (size_t i = 0; i < S1.size(); ++i)
        if (lower(S1[i]) != lower(S2[i]))
            return false;
    return true;
}

AnsiString TrimLeft(const AnsiString& S)
{
    size_t first = 0;
    while (first < S.size() && isBlank(S[first]))
        ++first;
    return S.substr(first);
}

AnsiString TrimRight(const AnsiString& S)
{
    size_t end = S.size();
    while (end > 0 && isBlank(S[end - 1]))
        --end;
    return S.substr(0, end);
}

AnsiString Trim(const AnsiString& S)
{
    return TrimRight(TrimLeft(S));
}
