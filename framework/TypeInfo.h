#pragma once
// Unit TypInfo: published property tables, published methods and fields, and the class
// registry that the layout reader and writer work from.
//
// A class declares `static TClass StaticClass();` (a component also overrides
// `TClass ClassType() const` to return it) and lists what it publishes in one block,
// built once on first use:
//
//     TClass TTestPanel::StaticClass()
//     {
//         static const TClass Class = TPublished<TTestPanel, TComponent>("TTestPanel")
//             .Property("Width", &TTestPanel::GetWidth, &TTestPanel::SetWidth, Default(100))
//             .Property("Mode", &TTestPanel::GetMode, &TTestPanel::SetMode, ModeIdents, Default(pmNone))
//             .Property("Color", &TTestPanel::GetColor, &TTestPanel::SetColor, ColorIdents())
//             .Property("Font", &TTestPanel::GetFont, Stored(&TTestPanel::IsFontStored))
//             .Property("Buddy", &TTestPanel::GetBuddy, &TTestPanel::SetBuddy)
//             .Event("OnClick", &TTestPanel::OnClick);
//         return Class;
//     }
//
// A form adds its handlers and its pointers to its components:
//             .PublishMethod("OkButtonClick", &TMainForm::OkButtonClick)
//             .Field("OkButton", &TMainForm::OkButton)
//
// The kind of a property follows from its getter's type: bool, an integer type, an
// enumeration or a TSet of one (both need a value-to-name table such as
// `constexpr TIdentMapEntry<TPanelMode> ModeIdents[] = {{pmNone, "pmNone"}, ...}`), a
// floating type, AnsiString, TBitmap*, a pointer to another component (a reference, resolved
// by name), or a pointer to another persistent object (a sub-object with properties of its
// own; getter only), or TStrings* (a string list the instance owns; getter only; stored as
// `Items.Strings = ('one' 'two')`). An integer property with a name table (colours) is written by name
// where the value has one. Without Default(...), an ordinal property is always written.
#include <any>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <span>
#include <type_traits>
#include <typeinfo>
#include <utility>
#include <vector>

#include "framework/Components.h"
#include "framework/Graphics.h"

class EFilerError : public EStreamError
{
public:
    explicit EFilerError(const AnsiString& Msg) : EStreamError(Msg) {}
};

class EClassNotFound : public EFilerError
{
public:
    explicit EClassNotFound(const AnsiString& Msg) : EFilerError(Msg) {}
};

enum TPropKind { pkInteger, pkBoolean, pkEnumeration, pkSet, pkFloat, pkString, pkObject, pkBitmap, pkComponent, pkEvent, pkStrings };

// One line of a value-to-name table: {tmAuto, "tmAuto"}.
template <class E>
using TIdentMapEntry = std::pair<E, const char*>;
using TIdentTable = std::vector<std::pair<int64_t, AnsiString>>;

// The named colours of Graphics.h (clBlack ... clInfoBk, clNone, clDefault).
std::span<const TIdentMapEntry<TColor>> ColorIdents();
// tmAuto, tmFixed: for components that publish a TransparentMode.
extern const TIdentMapEntry<TTransparentMode> TransparentModeIdents[2];

// A C++ type's own name for messages: "void (TObject*)", "TTestPanel".
AnsiString TypeName(const std::type_info& Type);

// What an event holds once a layout bound it to a published method; it keeps the method's
// name so that the writer can name the handler again.
template <class Sig>
class TMethodHandler;
template <class R, class... A>
class TMethodHandler<R(A...)>
{
public:
    TMethodHandler(AnsiString Name, std::function<R(A...)> Call) : FName(std::move(Name)), FCall(std::move(Call)) {}
    R operator()(A... Args) const { return FCall(std::forward<A>(Args)...); }
    const AnsiString& MethodName() const { return FName; }

private:
    AnsiString FName;
    std::function<R(A...)> FCall;
};

// A published method of a form: an event whose handler type is the same can be bound to it.
class TMethodInfo
{
public:
    const AnsiString& Name() const { return FName; }
    const std::type_info& Signature() const { return *FSignature; }

private:
    template <class, class>
    friend class TPublished;
    friend class TPropertyInfo;
    AnsiString FName;
    const std::type_info* FSignature = nullptr;
    std::any FMaker;   // std::function<TMethodHandler<Sig>(TComponent* Root)>
};

// A published field of a form: points at the owned component of the same name.
class TFieldInfo
{
public:
    const AnsiString& Name() const { return FName; }
    bool Accepts(TComponent* Value) const { return FAccepts(Value); }
    void Assign(TComponent* Owner, TComponent* Value) const { FAssign(Owner, Value); }

private:
    template <class, class>
    friend class TPublished;
    AnsiString FName;
    std::function<bool(TComponent*)> FAccepts;
    std::function<void(TComponent*, TComponent*)> FAssign;
};

class TPropertyInfo
{
public:
    const AnsiString& Name() const { return FName; }
    TPropKind Kind() const { return FKind; }
    bool IsStored(TPersistent* Instance) const { return !FStored || FStored(Instance); }
    // Equal to the streaming default: the declared one for ordinals, else 0, '', nil, an
    // empty bitmap, no handler. Sub-objects never are; their own properties decide.
    bool IsDefault(TPersistent* Instance) const;

    // Integer, boolean and enumeration values; sets as bit n for value n.
    // SetOrdinal raises EConvertError outside the type's range.
    int64_t GetOrdinal(TPersistent* Instance) const { return FGetOrd(Instance); }
    void SetOrdinal(TPersistent* Instance, int64_t Value) const;
    int64_t MinValue() const { return FMin; }
    int64_t MaxValue() const { return FMax; }
    const TIdentTable& Idents() const { return FIdents; }

    long double GetFloat(TPersistent* Instance) const { return FGetFloat(Instance); }
    void SetFloat(TPersistent* Instance, long double Value) const;
    AnsiString GetString(TPersistent* Instance) const { return FGetString(Instance); }
    void SetString(TPersistent* Instance, const AnsiString& Value) const { FSetString(Instance, Value); }

    // Sub-objects, bitmaps and string lists, owned by the instance.
    TPersistent* GetObject(TPersistent* Instance) const { return FGetObject(Instance); }
    TClass ObjectClass() const { return FClassOf ? FClassOf() : nullptr; }

    // References. SetComponent answers false, changing nothing, for a component of the
    // wrong class.
    TComponent* GetComponent(TPersistent* Instance) const { return FGetComponent(Instance); }
    bool SetComponent(TPersistent* Instance, TComponent* Value) const { return FSetComponent(Instance, Value); }

    // Events. BindEvent answers false, changing nothing, when the method's signature differs.
    const std::type_info& Signature() const { return *FSignature; }
    bool BindEvent(TPersistent* Instance, const TMethodInfo& Method, TComponent* Root) const
    {
        return FBind(Instance, Method, Root);
    }
    // The published method the event is bound to, or '' (none, or a handler set in code).
    AnsiString HandlerName(TPersistent* Instance) const { return FHandlerName(Instance); }

    // The type the value must have, for messages: "TTestPanel", "void (TObject*)".
    AnsiString TypeText() const;

private:
    template <class, class>
    friend class TPublished;
    AnsiString FName;
    TPropKind FKind = pkInteger;
    AnsiString FTypeText;
    std::function<bool(TPersistent*)> FStored;
    std::function<int64_t(TPersistent*)> FGetOrd;
    std::function<void(TPersistent*, int64_t)> FSetOrd;
    int64_t FMin = 0;
    int64_t FMax = 0;
    TIdentTable FIdents;
    std::optional<int64_t> FOrdDefault;
    std::function<long double(TPersistent*)> FGetFloat;
    std::function<void(TPersistent*, long double)> FSetFloat;
    long double FFloatDefault = 0;
    long double FFloatMax = 0;
    std::function<AnsiString(TPersistent*)> FGetString;
    std::function<void(TPersistent*, const AnsiString&)> FSetString;
    AnsiString FStringDefault;
    std::function<TPersistent*(TPersistent*)> FGetObject;
    // The class of a sub-object or of the referenced components; asked late, since a class
    // may refer to components of its own kind.
    TClass (*FClassOf)() = nullptr;
    std::function<TComponent*(TPersistent*)> FGetComponent;
    std::function<bool(TPersistent*, TComponent*)> FSetComponent;
    const std::type_info* FSignature = nullptr;
    std::function<bool(TPersistent*, const TMethodInfo&, TComponent*)> FBind;
    std::function<AnsiString(TPersistent*)> FHandlerName;
};

class TClassInfo
{
public:
    const AnsiString& ClassName() const { return FName; }
    TClass ClassParent() const { return FParent; }
    const std::type_info& TypeId() const { return *FType; }
    bool InheritsFrom(TClass Ancestor) const;

    // Published properties, the parent's first. A property redeclared by a descendant (to
    // change its default) keeps its place.
    const std::vector<const TPropertyInfo*>& Properties() const { return FAll; }
    // These look through the ancestors too; names compare without regard to case.
    const TPropertyInfo* FindProperty(const AnsiString& Name) const;
    const TMethodInfo* FindMethod(const AnsiString& Name) const;
    const TFieldInfo* FindField(const AnsiString& Name) const;

    // A component class that is not abstract can be created by name.
    bool CanCreate() const { return bool(FCreate); }
    TComponent* Create(TComponent* AOwner) const;
    // The palette page RegisterComponents gave, or ''.
    AnsiString Page() const;

private:
    template <class, class>
    friend class TPublished;
    friend TClass PersistentClass();
    TClassInfo(AnsiString Name, const std::type_info& Type, TClass Parent);
    void Finish();

    AnsiString FName;
    const std::type_info* FType;
    TClass FParent;
    std::vector<std::unique_ptr<TPropertyInfo>> FOwn;
    std::vector<const TPropertyInfo*> FAll;
    std::vector<std::unique_ptr<TMethodInfo>> FMethods;
    std::vector<std::unique_ptr<TFieldInfo>> FFields;
    std::function<TComponent*(TComponent*)> FCreate;
};

// ---- Class registry ----
// Registering a class registers its ancestors too. A second class of a registered name
// raises EFilerError; registering the same class again changes nothing.
void RegisterClass(TClass AClass);
void RegisterClasses(std::initializer_list<TClass> Classes);
void RegisterComponents(const AnsiString& Page, std::initializer_list<TClass> Classes);
// By name, without regard to case: GetClass answers nullptr, FindClass raises
// EClassNotFound "Class TFoo not found".
TClass GetClass(const AnsiString& ClassName);
TClass FindClass(const AnsiString& ClassName);
// A new component of a registered class, owned by AOwner (or by the caller without one).
TComponent* CreateComponent(const AnsiString& ClassName, TComponent* AOwner);

// The table of TPersistent itself: no properties; the root of every other.
TClass PersistentClass();
// The class of an object: a component's ClassType, else the class whose table was built for
// the object's exact type, else nullptr.
TClass ClassOfObject(const TPersistent* Object);
// Raises when T has no StaticClass of its own (it found an ancestor's).
void CheckOwnClass(TClass Class, const std::type_info& Type);

template <class T>
TClass ClassOf()
{
    if constexpr (std::is_same_v<T, TPersistent>) {
        return PersistentClass();
    } else {
        TClass c = T::StaticClass();
        CheckOwnClass(c, typeid(T));
        return c;
    }
}

// The builder of the tables, TPublished, with its options Default and Stored.
#include "framework/Published.h"
