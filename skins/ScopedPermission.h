#pragma once
// Takes one of a skinned control's permissions away for a scope (a lock counter: false
// takes, true gives back) and gives it back on every exit, a raised exception included.
template <class SetAllow>
class TScopedPermission
{
public:
    explicit TScopedPermission(SetAllow Set) : FSet(Set) { FSet(false); }
    ~TScopedPermission() { FSet(true); }
    TScopedPermission(const TScopedPermission&) = delete;
    TScopedPermission& operator=(const TScopedPermission&) = delete;

private:
    SetAllow FSet;
};
