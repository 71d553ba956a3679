#pragma once
// Unit Files: questions about files and folders, and making folder trees.
#include "framework/System.h"

bool FolderExists(const AnsiString& Path);
// Exists and is not a folder.
bool FileExists(const AnsiString& Path);

// Makes the folder and every missing parent; answers whether the folder exists at the end.
// An empty path raises Exception.
bool CreateFolderTree(const AnsiString& Path);

// Everything up to and including the last "/"; empty when there is none.
AnsiString ExtractFilePath(const AnsiString& FileName);
// Everything after the last "/".
AnsiString ExtractFileName(const AnsiString& FileName);
