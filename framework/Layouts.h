#pragma once
// Stored layouts: a form and the components it owns, as nested text (framework/LayoutFormat.md),
// and the resources built into the program that layouts and artwork are read from.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "framework/Components.h"
#include "framework/Graphics.h"

// A layout's text is malformed. The message names the layout and the line:
// "MainForm.lfm(12): expected '=' but found 'Caption'".
class EParserError : public Exception
{
public:
    explicit EParserError(const AnsiString& Msg) : Exception(Msg) {}
};

class EResNotFound : public Exception
{
public:
    explicit EResNotFound(const AnsiString& Msg) : Exception(Msg) {}
};

// Opens a file of the layout's folder by its plain name; nullptr when there is no such file.
using TLayoutResolver = std::function<std::unique_ptr<TStream>(const AnsiString& FileName)>;
// Stores the bitmap of a property (Path "TopPanel.Glyph") and answers the name to write (a
// file of the layout's folder, or a resource); '' writes the bitmap inline (Glyph.Data = {...}).
using TBitmapSaver = std::function<AnsiString(const AnsiString& Path, TBitmap* Bitmap)>;
// The saver that writes every bitmap inline.
TBitmapSaver EmbedBitmaps();

// Reads a layout into Root, an existing instance of the layout's root class (the form being
// constructed): creates the components it lists, owned by Root, in their order; sets their
// properties in the order written; binds events to Root's published methods; resolves
// references once everything is read; then calls Loaded on Root and on each new component.
// A fault in the text raises EParserError, one in its meaning (unknown class, property or
// handler, a value of the wrong kind, a missing bitmap) EReadError; both name the layout and
// the line. On failure the components this read created are freed again.
void ReadLayout(TComponent* Root, const AnsiString& Text, const AnsiString& LayoutName,
                const TLayoutResolver& Resolver);
// Reads the layout file FileName, through Resolver like its bitmaps.
void LoadLayout(TComponent* Root, const AnsiString& FileName, const TLayoutResolver& Resolver);

// Root and the components GetChildren yields for it, as layout text. Values equal to their
// streaming default, and those a stored test refuses, are left out. Bitmaps go to SaveBitmap;
// a non-empty bitmap without one raises EWriteError.
AnsiString WriteLayout(TComponent* Root, const TBitmapSaver& SaveBitmap = nullptr);

// Looks up another form for references written "Form.Component"; the application sets it.
using TFindGlobalComponent = std::function<TComponent*(const AnsiString& Name)>;
void RegisterFindGlobalComponentProc(TFindGlobalComponent Proc);
TComponent* FindGlobalComponent(const AnsiString& Name);

// ---- Resources ----
// Names compare without regard to case, as resource names do. Registering a name again
// replaces its bytes; streams already open keep the old ones.
void RegisterResource(const AnsiString& Name, const void* Data, size_t Size);
std::shared_ptr<const std::vector<uint8_t>> FindResource(const AnsiString& Name);

// Reads a registered resource; raises EResNotFound "Resource X not found".
class TResourceStream : public TCustomMemoryStream
{
public:
    explicit TResourceStream(const AnsiString& Name);
    int Write(const void* Buffer, int Count) override;

private:
    std::shared_ptr<const std::vector<uint8_t>> FData;
};

// Files from the registered resources.
TLayoutResolver ResourceResolver();
// Files from a folder; a name that differs only in case is found too, as on the system the
// layouts were made on. Artwork named as a resource (MainForm.TopPanel.ArtworkSet) is found as
// the file it is compiled from (MainForm.TopPanel.ArtworkSet.bmp).
TLayoutResolver FolderResolver(const AnsiString& Folder);
