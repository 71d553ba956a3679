#pragma once
// Where recordings go and what they are called: under the documents folder,
// Lumofree/VIDEOS/<year>/<MM Mon>/<DD Day>/<YYYY-MM-DD hh-mm-ss zzz>.AVI, all taken from
// the moment the file starts. Month and weekday names are fixed English words: file names
// must not change with the desktop's language.
#include "framework/SysUtils.h"
#include "platform/WinTypes.h"

extern const char* const MonthAbbreviations[12];     // "Jan" .. "Dec"
extern const char* const WeekdayAbbreviations[7];    // "Sun" .. "Sat"

// The constant folder below the program folder.
extern const char* const VideosFolderName;           // "VIDEOS/"

struct TVideoFileNames
{
    AnsiString DateFolder;      // 2026/12 Dec/06 Sun
    AnsiString VideoFolder;     // <documents>/Lumofree/VIDEOS/2026/12 Dec/06 Sun
    AnsiString VideoFileName;   // 2026-12-06 16-53-30 042.AVI
    AnsiString VideoFilePath;   // VideoFolder + "/" + VideoFileName
};

// Value in decimal, padded on the left with "0" to Width; longer numbers are written in full.
AnsiString PadNumber(int Value, int Width);

// The names of a file started at Moment. DocumentsFolder has no trailing "/" (it may be empty).
TVideoFileNames VideoFileNamesAt(TDateTime Moment, const AnsiString& DocumentsFolder,
                                 const AnsiString& VideosFolder = VideosFolderName);

// Names.VideoFileName when no file of that name exists yet; otherwise the first free name
// with " (2)", " (3)", ... before the extension, so an earlier recording is never
// overwritten (the clock can repeat a moment: a second start in the same millisecond, or
// the hour the clocks go back).
TVideoFileNames UnusedVideoFileNames(TVideoFileNames Names);

// The user's documents folder without a trailing "/", or "" when the shell cannot tell.
AnsiString DocumentsFolderOf(HWND Owner);
// The shell folder CSIDL_... Folder, the same way.
AnsiString ShellFolderOf(HWND Owner, int Folder);
