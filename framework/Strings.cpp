#include "framework/Strings.h"
#include "framework/SysUtils.h"

#include <cctype>

namespace {

bool needsQuotes(const AnsiString& s)
{
    if (s.empty())
        return true;
    for (unsigned char c : s)
        if (c <= ' ' || c == ',' || c == '"')
            return true;
    return false;
}

}   // namespace

void TStrings::Error(int Index)
{
    throw EStringListError("List index out of bounds (" + std::to_string(Index) + ")");
}

int TStrings::Add(const AnsiString& S)
{
    int index = Count();
    Insert(index, S);
    return index;
}

int TStrings::AddObject(const AnsiString& S, TObject* AObject)
{
    int index = Add(S);
    PutObject(index, AObject);
    return index;
}

void TStrings::AddStrings(const TStrings* Strings)
{
    if (!Strings || Strings == this)
        return;
    BeginUpdate();
    for (int i = 0; i < Strings->Count(); ++i)
        AddObject(Strings->Strings(i), Strings->Objects(i));
    EndUpdate();
}

int TStrings::IndexOf(const AnsiString& S) const
{
    for (int i = 0; i < Count(); ++i)
        if (SameText(Strings(i), S))
            return i;
    return -1;
}

void TStrings::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    if (NewIndex < 0 || NewIndex >= Count())
        Error(NewIndex);
    AnsiString s = Strings(CurIndex);
    TObject* o = Objects(CurIndex);
    BeginUpdate();
    Delete(CurIndex);
    Insert(NewIndex, s);
    PutObject(NewIndex, o);
    EndUpdate();
}

void TStrings::Exchange(int Index1, int Index2)
{
    AnsiString s1 = Strings(Index1), s2 = Strings(Index2);
    TObject *o1 = Objects(Index1), *o2 = Objects(Index2);
    BeginUpdate();
    Put(Index1, s2);
    PutObject(Index1, o2);
    Put(Index2, s1);
    PutObject(Index2, o1);
    EndUpdate();
}

AnsiString TStrings::GetText() const
{
    AnsiString text;
    for (int i = 0; i < Count(); ++i)
        text += Strings(i) + "\r\n";
    return text;
}

void TStrings::SetText(const AnsiString& Value)
{
    BeginUpdate();
    Clear();
    size_t start = 0;
    while (start < Value.size()) {
        size_t end = Value.find_first_of("\r\n", start);
        if (end == AnsiString::npos) {
            Add(Value.substr(start));
            break;
        }
        Add(Value.substr(start, end - start));
        start = end + (Value[end] == '\r' && end + 1 < Value.size() && Value[end + 1] == '\n' ? 2 : 1);
    }
    EndUpdate();
}

AnsiString TStrings::GetCommaText() const
{
    AnsiString text;
    for (int i = 0; i < Count(); ++i) {
        if (i)
            text += ',';
        AnsiString s = Strings(i);
        if (!needsQuotes(s)) {
            text += s;
            continue;
        }
        text += '"';
        for (char c : s)
            text += c == '"' ? AnsiString("\"\"") : AnsiString(1, c);
        text += '"';
    }
    return text;
}

void TStrings::SetCommaText(const AnsiString& Value)
{
    BeginUpdate();
    Clear();
    size_t i = 0, n = Value.size();
    auto skipBlanks = [&] {
        while (i < n && static_cast<unsigned char>(Value[i]) <= ' ')
            ++i;
    };
    skipBlanks();
    while (i < n) {
        AnsiString item;
        if (Value[i] == '"') {
            ++i;
            while (i < n) {
                if (Value[i] == '"') {
                    if (i + 1 < n && Value[i + 1] == '"') {
                        item += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += Value[i++];
            }
        } else {
            while (i < n && Value[i] != ',' && static_cast<unsigned char>(Value[i]) > ' ')
                item += Value[i++];
        }
        Add(item);
        skipBlanks();
        if (i < n && Value[i] == ',') {
            ++i;
            skipBlanks();
            if (i == n)
                Add("");   // a trailing comma stands for one more, empty, item
        }
    }
    EndUpdate();
}

void TStrings::BeginUpdate()
{
    if (FUpdateCount++ == 0)
        SetUpdateState(true);
}

void TStrings::EndUpdate()
{
    if (FUpdateCount > 0 && --FUpdateCount == 0)
        SetUpdateState(false);
}

void TStrings::Assign(TPersistent* Source)
{
    if (auto* source = dynamic_cast<TStrings*>(Source)) {
        if (source == this)
            return;
        BeginUpdate();
        Clear();
        AddStrings(source);
        EndUpdate();
        return;
    }
    TPersistent::Assign(Source);
}

bool TStrings::Equals(const TStrings* Other) const
{
    if (!Other || Other->Count() != Count())
        return false;
    for (int i = 0; i < Count(); ++i)
        if (Strings(i) != Other->Strings(i))
            return false;
    return true;
}

// ---- TStringList ----

void TStringList::Check(int Index) const
{
    if (Index < 0 || Index >= Count())
        Error(Index);
}

AnsiString TStringList::Strings(int Index) const
{
    Check(Index);
    return FItems[size_t(Index)].first;
}

TObject* TStringList::Objects(int Index) const
{
    Check(Index);
    return FItems[size_t(Index)].second;
}

void TStringList::Put(int Index, const AnsiString& S)
{
    Check(Index);
    Changing();
    FItems[size_t(Index)].first = S;
    Changed();
}

void TStringList::PutObject(int Index, TObject* AObject)
{
    Check(Index);
    Changing();
    FItems[size_t(Index)].second = AObject;
    Changed();
}

void TStringList::Insert(int Index, const AnsiString& S)
{
    if (Index < 0 || Index > Count())
        Error(Index);
    Changing();
    FItems.insert(FItems.begin() + Index, {S, nullptr});
    Changed();
}

void TStringList::Delete(int Index)
{
    Check(Index);
    Changing();
    FItems.erase(FItems.begin() + Index);
    Changed();
}

void TStringList::Clear()
{
    if (FItems.empty())
        return;
    Changing();
    FItems.clear();
    Changed();
}

void TStringList::SetUpdateState(bool Updating)
{
    // The count is already 1 (or back to 0) here, so the handlers are called directly.
    if (Updating && OnChanging)
        OnChanging(this);
    else if (!Updating && OnChange)
        OnChange(this);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0 && OnChanging)
        OnChanging(this);
}

void TStringList::Changed()
{
    if (UpdateCount() == 0 && OnChange)
        OnChange(this);
}
