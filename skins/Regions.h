#pragma once
// Unit Regions: TRegion, a region of the graphics interface with the operations the skinned
// controls need to shape their windows.
#include <cstdint>
#include <memory>

#include "framework/Classes.h"
#include "framework/Components.h"
#include "framework/Graphics.h"
#include "platform/Gdi.h"

// A null region (no system region: no shape, a window given it keeps its full rectangle) is
// not the same as an empty one (a system region without pixels: a window given it is hidden).
class TRegion : public TPersistent
{
public:
    TRegion();
    TRegion(const TRect* Rects, int Count);
    ~TRegion() override;
    TRegion(const TRegion&) = delete;
    TRegion& operator=(const TRegion&) = delete;

    // Published: Bitmap (always stored) and OnChange.
    static TClass StaticClass();
    AnsiString ClassName() const override { return "TRegion"; }
    void Assign(TPersistent* Source) override;

    // The order of these virtual operations is part of the class's design; keep it.
    virtual bool GetIsNull();
    virtual void SetHeight(int Value);
    virtual void SetWidth(int Value);
    virtual int GetHeight();
    virtual int GetWidth();
    virtual TRect GetBounds();
    // Into a cache that the next change invalidates: do not keep the pointer across changes.
    virtual TRect* GetRects();
    virtual int GetRectCount();
    virtual bool GetEnableChangeEvent();
    virtual void SetEnableChangeEvent(bool Value);
    virtual TBitmap* GetBitmap();
    virtual void SetBitmap(TBitmap* Value);
    virtual void ConditionalChange();
    virtual void Change();
    virtual void SetRects(const TRect* Rects, int Count);
    // Dest receives a new copy (null for a null region) that the caller owns.
    virtual void CopyHandle(HRGN& Dest);
    virtual void ApplyToWindow(HWND Wnd, bool Redraw);
    virtual void BuildFromBitmap(TBitmap* Bitmap, bool AdoptSize, bool MoveToOrigin,
                                 TColor TransparentColor, bool Invert);
    // Source stays the caller's.
    virtual void SetHandle(HRGN Source);
    virtual bool ContainsPoint(const TPoint& Point);
    virtual void Clear();
    virtual void SetSize(int Width, int Height);
    virtual void MakeEmpty();
    virtual void Offset(int DX, int DY);
    virtual void MoveTo(int X, int Y);
    virtual void MoveToOrigin();
    virtual void Invert();
    virtual void Scale(double ScaleX, double ScaleY);
    virtual void SaveToStream(TStream* Stream);
    virtual void LoadFromStream(TStream* Stream);
    virtual void SaveToFile(const AnsiString& FileName);
    virtual void LoadFromFile(const AnsiString& FileName);
    // Operands are never taken over. The rectangle-list form has no caller and is left out.
    virtual void Add(HRGN Source);
    virtual void Add(const TRect* Rects, int Count);
    virtual void Add(TRegion* Source);
    virtual void Subtract(HRGN Source);
    virtual void Subtract(const TRect* Rects, int Count);
    virtual void Subtract(TRegion* Source);
    virtual void Intersect(HRGN Source, bool Exclusive);
    virtual void Intersect(const TRect* Rects, int Count, bool Exclusive);
    virtual void Intersect(TRegion* Source, bool Exclusive);

    HRGN GetHandle() const { return FHandle; }
    TNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent Value) { FOnChange = std::move(Value); }

private:
    void Changed();
    void DeleteHandle();
    void RefreshData();
    void BitmapChanged(TObject* Sender);
    TNotifyEvent BitmapHandler();
    void MakeEmptyIfNull();
    void CombineRects(const TRect* Rects, int Count, int Mode);

    HRGN FHandle = 0;
    int32_t FDataSize = 0;
    std::unique_ptr<uint8_t[]> FData;   // GetRegionData's header and rectangles
    bool FDataValid = false;
    bool FSizeSet = false;
    int32_t FHeight = 0;
    int32_t FWidth = 0;
    TRect* FRects = nullptr;   // into FData, just past the header
    int32_t FRectCount = 0;
    int32_t FDisableChangeCount = 0;
    std::unique_ptr<TBitmap> FBitmap;   // kept at 1 bit per pixel
    TNotifyEvent FOnChange;
};
