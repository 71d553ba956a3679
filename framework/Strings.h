#pragma once
// Unit Classes, continued: the classic string lists.
#include <utility>
#include <vector>

#include "framework/Classes.h"

class EStringListError : public Exception
{
public:
    explicit EStringListError(const AnsiString& Msg) : Exception(Msg) {}
};

// A list of strings, each with an optional object. Descendants store the strings; every
// index is checked and a bad one raises EStringListError "List index out of bounds (n)".
class TStrings : public TPersistent
{
public:
    AnsiString ClassName() const override { return "TStrings"; }

    virtual int Count() const = 0;
    virtual AnsiString Strings(int Index) const = 0;
    virtual void Put(int Index, const AnsiString& S) = 0;
    virtual TObject* Objects(int Index) const = 0;
    virtual void PutObject(int Index, TObject* AObject) = 0;
    virtual void Insert(int Index, const AnsiString& S) = 0;
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;

    int Add(const AnsiString& S);
    int AddObject(const AnsiString& S, TObject* AObject);
    void AddStrings(const TStrings* Strings);
    // The first string equal to S without regard to case, or -1.
    virtual int IndexOf(const AnsiString& S) const;
    void Move(int CurIndex, int NewIndex);
    void Exchange(int Index1, int Index2);

    // Lines ended by CR LF; setting splits at CR LF, CR or LF.
    AnsiString GetText() const;
    void SetText(const AnsiString& Value);
    // Items separated by commas, quoted with " when they hold spaces, commas or quotes.
    AnsiString GetCommaText() const;
    void SetCommaText(const AnsiString& Value);

    // Several changes announce themselves once, when the outermost EndUpdate comes.
    void BeginUpdate();
    void EndUpdate();

    void Assign(TPersistent* Source) override;
    bool Equals(const TStrings* Other) const;

protected:
    // Called when the update count goes from 0 to 1 (true) and back (false).
    virtual void SetUpdateState(bool Updating) { (void)Updating; }
    int UpdateCount() const { return FUpdateCount; }
    [[noreturn]] static void Error(int Index);

private:
    int FUpdateCount = 0;
};

class TStringList : public TStrings
{
public:
    AnsiString ClassName() const override { return "TStringList"; }

    int Count() const override { return int(FItems.size()); }
    AnsiString Strings(int Index) const override;
    void Put(int Index, const AnsiString& S) override;
    TObject* Objects(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    void Insert(int Index, const AnsiString& S) override;
    void Delete(int Index) override;
    void Clear() override;

    // Before and after every change, unless an update is under way.
    TNotifyEvent OnChanging;
    TNotifyEvent OnChange;

protected:
    void SetUpdateState(bool Updating) override;
    void Changing();
    void Changed();

private:
    void Check(int Index) const;
    std::vector<std::pair<AnsiString, TObject*>> FItems;
};
