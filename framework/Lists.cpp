#include "framework/Lists.h"

#include <algorithm>

int TList::Add(void* Item)
{
    FItems.push_back(Item);
    return Count() - 1;
}

void TList::Insert(int Index, void* Item)
{
    if (Index != Count())   // inserting at the end is allowed
        CheckIndex(Index);
    FItems.insert(FItems.begin() + Index, Item);
}

void TList::Delete(int Index)
{
    CheckIndex(Index);
    FItems.erase(FItems.begin() + Index);
}

int TList::Remove(void* Item)
{
    int index = IndexOf(Item);
    if (index >= 0)
        Delete(index);
    return index;
}

void* TList::Extract(void* Item)
{
    return Remove(Item) >= 0 ? Item : nullptr;
}

int TList::IndexOf(void* Item) const
{
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    return it == FItems.end() ? -1 : int(it - FItems.begin());
}

void TList::Exchange(int Index1, int Index2)
{
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FItems[size_t(Index1)], FItems[size_t(Index2)]);
}

void TList::Move(int CurIndex, int NewIndex)
{
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    void* item = FItems[size_t(CurIndex)];
    FItems.erase(FItems.begin() + CurIndex);
    FItems.insert(FItems.begin() + NewIndex, item);
}

void TList::Pack()
{
    std::erase(FItems, nullptr);
}

void TList::Sort(TListSortCompare Compare)
{
    std::stable_sort(FItems.begin(), FItems.end(),
                     [Compare](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::SetCount(int NewCount)
{
    if (NewCount < 0)
        throw EListError("List count out of bounds (" + std::to_string(NewCount) + ")");
    FItems.resize(size_t(NewCount), nullptr);
}

void* TList::Items(int Index) const
{
    CheckIndex(Index);
    return FItems[size_t(Index)];
}

void TList::Put(int Index, void* Item)
{
    CheckIndex(Index);
    FItems[size_t(Index)] = Item;
}

void TList::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EListError("List index out of bounds (" + std::to_string(Index) + ")");
}
