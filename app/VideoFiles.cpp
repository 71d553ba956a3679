#include "app/VideoFiles.h"

#include "framework/Files.h"
#include "platform/Shell.h"

const char* const MonthAbbreviations[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const WeekdayAbbreviations[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const VideosFolderName = "VIDEOS/";

AnsiString PadNumber(int Value, int Width)
{
    AnsiString digits = IntToStr(Value);
    if (int(digits.size()) < Width)
        digits.insert(0, size_t(Width) - digits.size(), '0');
    return digits;
}

TVideoFileNames VideoFileNamesAt(TDateTime Moment, const AnsiString& DocumentsFolder,
                                 const AnsiString& VideosFolder)
{
    uint16_t year, month, day, hour, minute, second, msec;
    // Both decode from the same rounding to the millisecond, so 23:59:59.9996 is the next
    // day at midnight in the date and the time alike.
    DecodeDate(Moment, year, month, day);
    DecodeTime(Moment, hour, minute, second, msec);
    const int weekday = DayOfWeek(Moment);

    const AnsiString y = PadNumber(year, 4), mo = PadNumber(month, 2), d = PadNumber(day, 2);
    TVideoFileNames names;
    names.VideoFileName = y + "-" + mo + "-" + d + " " + PadNumber(hour, 2) + "-" + PadNumber(minute, 2) +
                          "-" + PadNumber(second, 2) + " " + PadNumber(msec, 3) + ".AVI";
    names.DateFolder = y + "/" + mo + " " + MonthAbbreviations[(month + 11) % 12] + "/" + d + " " +
                       WeekdayAbbreviations[(weekday + 6) % 7];
    names.VideoFolder = DocumentsFolder + "/Lumofree/" + VideosFolder + names.DateFolder;
    names.VideoFilePath = names.VideoFolder + "/" + names.VideoFileName;
    return names;
}

TVideoFileNames UnusedVideoFileNames(TVideoFileNames Names)
{
    const size_t dot = Names.VideoFileName.rfind('.');
    const AnsiString stem = Names.VideoFileName.substr(0, dot);
    const AnsiString extension = dot == AnsiString::npos ? AnsiString() : Names.VideoFileName.substr(dot);
    for (int n = 2; FileExists(Names.VideoFilePath) || FolderExists(Names.VideoFilePath); ++n) {
        Names.VideoFileName = stem + " (" + IntToStr(n) + ")" + extension;
        Names.VideoFilePath = Names.VideoFolder + "/" + Names.VideoFileName;
    }
    return Names;
}

AnsiString DocumentsFolderOf(HWND Owner) { return ShellFolderOf(Owner, CSIDL_PERSONAL); }

AnsiString ShellFolderOf(HWND Owner, int Folder)
{
    LPITEMIDLIST list = nullptr;
    if (FAILED(SHGetSpecialFolderLocation(Owner, Folder, &list)))
        return AnsiString();
    char path[MAX_PATH] = {};
    const bool found = SHGetPathFromIDListA(list, path);
    ILFree(list);
    if (!found)
        return AnsiString();
    AnsiString folder = path;
    while (!folder.empty() && folder.back() == '/')
        folder.pop_back();
    return folder;
}
