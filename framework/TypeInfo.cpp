#include "framework/TypeInfo.h"
#include "framework/SysUtils.h"

#include <cxxabi.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <typeindex>

namespace {

constexpr TIdentMapEntry<TColor> colorIdents[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
    // Other names of values above: read, never written.
    {clLtGray, "clLtGray"},
    {clDkGray, "clDkGray"},
};

struct Registry
{
    std::mutex lock;
    std::map<AnsiString, TClass> byName;   // lower-case name
    std::map<TClass, AnsiString> pages;
    std::map<std::type_index, TClass> byType;
};

Registry& registry()
{
    static Registry* r = new Registry;   // outlives every static that might still ask
    return *r;
}


}   // namespace

std::span<const TIdentMapEntry<TColor>> ColorIdents()
{
    return colorIdents;
}

const TIdentMapEntry<TTransparentMode> TransparentModeIdents[2] = {{tmAuto, "tmAuto"}, {tmFixed, "tmFixed"}};

AnsiString TypeName(const std::type_info& Type)
{
    int status = 0;
    char* readable = abi::__cxa_demangle(Type.name(), nullptr, nullptr, &status);
    AnsiString result = status == 0 && readable ? readable : Type.name();
    std::free(readable);
    return result;
}

// ---- TPropertyInfo ----

bool TPropertyInfo::IsDefault(TPersistent* Instance) const
{
    switch (FKind) {
    case pkInteger:
    case pkBoolean:
    case pkEnumeration:
    case pkSet:
        return FOrdDefault && *FOrdDefault == GetOrdinal(Instance);
    case pkFloat:
        return GetFloat(Instance) == FFloatDefault;
    case pkString:
        return GetString(Instance) == FStringDefault;
    case pkObject:
        return !GetObject(Instance);
    case pkStrings: {
        auto* strings = static_cast<TStrings*>(GetObject(Instance));
        return !strings || strings->Count() == 0;
    }
    case pkBitmap: {
        auto* bitmap = static_cast<TBitmap*>(GetObject(Instance));
        return !bitmap || bitmap->GetEmpty();
    }
    case pkComponent:
        return !GetComponent(Instance);
    case pkEvent:
        return HandlerName(Instance).empty();
    }
    return false;
}

void TPropertyInfo::SetOrdinal(TPersistent* Instance, int64_t Value) const
{
    bool valid = true;
    if (FKind == pkSet) {
        uint64_t named = 0;
        for (const auto& entry : FIdents)
            named |= uint64_t(1) << entry.first;
        valid = (uint64_t(Value) & ~named) == 0;
    } else if (FKind == pkEnumeration) {
        valid = std::any_of(FIdents.begin(), FIdents.end(), [&](const auto& e) { return e.first == Value; });
    } else {
        valid = Value >= FMin && Value <= FMax;
    }
    if (!valid)
        throw EConvertError(std::to_string(Value) + " is out of the range of " + FName);
    FSetOrd(Instance, Value);
}

void TPropertyInfo::SetFloat(TPersistent* Instance, long double Value) const
{
    if (!std::isfinite(Value) || std::fabs(Value) > FFloatMax)
        throw EConvertError("The value is out of the range of " + FName);
    FSetFloat(Instance, Value);
}

AnsiString TPropertyInfo::TypeText() const
{
    return FClassOf ? FClassOf()->ClassName() : FTypeText;
}

// ---- TClassInfo ----

TClassInfo::TClassInfo(AnsiString Name, const std::type_info& Type, TClass Parent)
    : FName(std::move(Name)), FType(&Type), FParent(Parent)
{
}

void TClassInfo::Finish()
{
    if (FParent)
        FAll = FParent->FAll;
    for (const auto& own : FOwn) {
        for (const auto& other : FOwn)
            if (other.get() != own.get() && SameText(other->Name(), own->Name()))
                throw EFilerError(FName + " publishes " + own->Name() + " twice");
        auto inherited = std::find_if(FAll.begin(), FAll.end(),
                                      [&](const TPropertyInfo* p) { return SameText(p->Name(), own->Name()); });
        if (inherited != FAll.end())
            *inherited = own.get();
        else
            FAll.push_back(own.get());
    }
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    r.byType[std::type_index(*FType)] = this;
}

bool TClassInfo::InheritsFrom(TClass Ancestor) const
{
    for (TClass c = this; c; c = c->FParent)
        if (c == Ancestor)
            return true;
    return false;
}

const TPropertyInfo* TClassInfo::FindProperty(const AnsiString& Name) const
{
    for (const TPropertyInfo* p : FAll)
        if (SameText(p->Name(), Name))
            return p;
    return nullptr;
}

const TMethodInfo* TClassInfo::FindMethod(const AnsiString& Name) const
{
    for (TClass c = this; c; c = c->FParent)
        for (const auto& m : c->FMethods)
            if (SameText(m->Name(), Name))
                return m.get();
    return nullptr;
}

const TFieldInfo* TClassInfo::FindField(const AnsiString& Name) const
{
    for (TClass c = this; c; c = c->FParent)
        for (const auto& f : c->FFields)
            if (SameText(f->Name(), Name))
                return f.get();
    return nullptr;
}

TComponent* TClassInfo::Create(TComponent* AOwner) const
{
    if (!FCreate)
        throw EFilerError("Cannot create a component of class " + FName);
    TComponent* component = FCreate(AOwner);
    if (component->ClassType() != this) {
        delete component;
        throw EFilerError(FName + " does not override ClassType");
    }
    return component;
}

AnsiString TClassInfo::Page() const
{
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.pages.find(this);
    return it == r.pages.end() ? AnsiString() : it->second;
}

// ---- Registry ----

void RegisterClass(TClass AClass)
{
    TClass root = PersistentClass();   // built before the lock: building it takes the lock
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    for (TClass c = AClass; c && c != root; c = c->ClassParent()) {
        auto [it, added] = r.byName.emplace(LowerCase(c->ClassName()), c);
        if (!added && it->second != c)
            throw EFilerError("A class named " + c->ClassName() + " already exists");
    }
}

void RegisterClasses(std::initializer_list<TClass> Classes)
{
    for (TClass c : Classes)
        RegisterClass(c);
}

void RegisterComponents(const AnsiString& Page, std::initializer_list<TClass> Classes)
{
    for (TClass c : Classes) {
        RegisterClass(c);
        Registry& r = registry();
        std::lock_guard guard(r.lock);
        r.pages[c] = Page;
    }
}

TClass GetClass(const AnsiString& ClassName)
{
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.byName.find(LowerCase(ClassName));
    return it == r.byName.end() ? nullptr : it->second;
}

TClass FindClass(const AnsiString& ClassName)
{
    TClass c = GetClass(ClassName);
    if (!c)
        throw EClassNotFound("Class " + ClassName + " not found");
    return c;
}

TComponent* CreateComponent(const AnsiString& ClassName, TComponent* AOwner)
{
    return FindClass(ClassName)->Create(AOwner);
}

TClass PersistentClass()
{
    static const TClass Class = [] {
        auto* c = new TClassInfo("TPersistent", typeid(TPersistent), nullptr);
        c->Finish();
        return c;
    }();
    return Class;
}

TClass ClassOfObject(const TPersistent* Object)
{
    if (!Object)
        return nullptr;
    if (auto* component = dynamic_cast<const TComponent*>(Object))
        return component->ClassType();
    Registry& r = registry();
    std::lock_guard guard(r.lock);
    auto it = r.byType.find(std::type_index(typeid(*Object)));
    return it == r.byType.end() ? nullptr : it->second;
}

void CheckOwnClass(TClass Class, const std::type_info& Type)
{
    if (Class->TypeId() != Type)
        throw EFilerError(TypeName(Type) + " has no StaticClass of its own; it found " + Class->ClassName() + "'s");
}
