#pragma once
// The classic pointer list and small sets of enumeration values.
#include <cstdint>
#include <initializer_list>
#include <type_traits>
#include <vector>

#include "framework/System.h"

class EListError : public Exception
{
public:
    explicit EListError(const AnsiString& Msg) : Exception(Msg) {}
};

// Answers <0, 0 or >0 as Item1 sorts before, with or after Item2.
using TListSortCompare = int (*)(void* Item1, void* Item2);

// A list of untyped pointers. Every index is checked: a bad one raises EListError
// "List index out of bounds (n)" and leaves the list as it was.
class TList : public TObject
{
public:
    int Add(void* Item);
    void Insert(int Index, void* Item);
    void Delete(int Index);
    // Removes the first occurrence; answers its former index, or -1.
    int Remove(void* Item);
    // Like Remove, but answers the item (nullptr when absent).
    void* Extract(void* Item);
    int IndexOf(void* Item) const;
    void Clear() { FItems.clear(); }
    void Exchange(int Index1, int Index2);
    // Takes the item at CurIndex out and puts it back at NewIndex.
    void Move(int CurIndex, int NewIndex);
    // Drops every nullptr item.
    void Pack();
    void Sort(TListSortCompare Compare);

    int Count() const { return int(FItems.size()); }
    // Growing fills with nullptr; shrinking drops items from the end.
    void SetCount(int NewCount);
    void* Items(int Index) const;
    void Put(int Index, void* Item);
    void* First() const { return Items(0); }
    void* Last() const { return Items(Count() - 1); }

private:
    void CheckIndex(int Index) const;

    std::vector<void*> FItems;
};

// A set of values of an enumeration whose values lie in 0..63, used as the classic
// "set of" types are: Set << csLoading, Set.Contains(csLoading).
template <class E>
class TSet
{
    static_assert(std::is_enum_v<E>, "TSet holds values of an enumeration");

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> Items)
    {
        for (E item : Items)
            *this << item;
    }

    constexpr TSet& operator<<(E Item)
    {
        FBits |= Bit(Item);
        return *this;
    }
    constexpr TSet& operator>>(E Item)
    {
        FBits &= ~Bit(Item);
        return *this;
    }
    constexpr bool Contains(E Item) const { return InRange(Item) && (FBits & Bit(Item)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr void Clear() { FBits = 0; }

    constexpr TSet operator+(TSet Other) const { return FromBits(FBits | Other.FBits); }
    constexpr TSet operator-(TSet Other) const { return FromBits(FBits & ~Other.FBits); }
    constexpr TSet operator*(TSet Other) const { return FromBits(FBits & Other.FBits); }
    constexpr bool operator==(const TSet&) const = default;

    // Bit n stands for the value n: the form the property tables store.
    constexpr uint64_t Bits() const { return FBits; }
    static constexpr TSet FromBits(uint64_t Bits)
    {
        TSet s;
        s.FBits = Bits;
        return s;
    }

private:
    static constexpr bool InRange(E Item)
    {
        auto v = static_cast<std::underlying_type_t<E>>(Item);
        return v >= 0 && v < 64;
    }
    static constexpr uint64_t Bit(E Item)
    {
        if (!InRange(Item))
            throw EConvertError("Set element out of range 0..63");
        return uint64_t(1) << static_cast<unsigned>(Item);
    }

    uint64_t FBits = 0;
};

template <class T>
inline constexpr bool IsTSet = false;
template <class E>
inline constexpr bool IsTSet<TSet<E>> = true;
