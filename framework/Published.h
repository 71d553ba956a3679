#pragma once
// TPublished: builds a class's published table from one block of member pointers (see
// framework/TypeInfo.h). Mistakes of type are compile errors.
#include <algorithm>
#include <functional>
#include <limits>
#include <memory>
#include <type_traits>
#include <utility>

#include "framework/Strings.h"
#include "framework/TypeInfo.h"

// ---- Options of a property ----
template <class D>
struct TDefaultOption
{
    D Value;
};
template <class D>
TDefaultOption<D> Default(D Value)
{
    return {Value};
}

template <class M>
struct TStoredOption
{
    M Test;   // bool, or a member function answering bool
};
template <class M>
TStoredOption<M> Stored(M Test)
{
    return {Test};
}

namespace typeinfo_detail {

template <class T>
struct IdentTableOf
{
    static constexpr bool value = false;
};
template <class E, size_t N>
struct IdentTableOf<std::pair<E, const char*>[N]>
{
    static constexpr bool value = true;
    using type = E;
};
template <class E, size_t N>
struct IdentTableOf<const std::pair<E, const char*>[N]> : IdentTableOf<std::pair<E, const char*>[N]>
{
};
template <class E, size_t N>
struct IdentTableOf<std::span<const std::pair<E, const char*>, N>>
{
    static constexpr bool value = true;
    using type = E;
};

template <class T>
inline constexpr bool IsDefaultOption = false;
template <class D>
inline constexpr bool IsDefaultOption<TDefaultOption<D>> = true;
template <class T>
inline constexpr bool IsStoredOption = false;
template <class M>
inline constexpr bool IsStoredOption<TStoredOption<M>> = true;

template <class>
inline constexpr bool DependentFalse = false;

// The enumeration whose names a property of type V needs, or void.
template <class V>
struct NamedEnum
{
    using type = std::conditional_t<std::is_enum_v<V>, V, void>;
};
template <class E>
struct NamedEnum<TSet<E>>
{
    using type = E;
};

template <class V, class Opt>
constexpr bool namesFor()
{
    using Table = IdentTableOf<std::remove_cvref_t<Opt>>;
    if constexpr (Table::value) {
        using E = typename Table::type;
        return std::is_same_v<typename NamedEnum<V>::type, E> || (std::is_integral_v<V> && std::is_same_v<E, V>);
    } else {
        return false;
    }
}

}   // namespace typeinfo_detail

// Builds the published table of class T, a descendant of Parent, and hands it over as the
// class reference when converted to TClass. Mistakes of type are compile errors.
template <class T, class Parent>
class TPublished
{
    static_assert(std::is_base_of_v<Parent, T> && !std::is_same_v<Parent, T>, "Parent must be an ancestor of T");
    static_assert(std::is_base_of_v<TPersistent, T>, "published classes descend from TPersistent");

public:
    explicit TPublished(const char* ClassName) : FInfo(new TClassInfo(ClassName, typeid(T), ClassOf<Parent>()))
    {
        if constexpr (std::is_base_of_v<TComponent, T> && !std::is_abstract_v<T> &&
                      std::is_constructible_v<T, TComponent*>)
            FInfo->FCreate = [](TComponent* AOwner) -> TComponent* { return new T(AOwner); };
    }

    // A property with a getter and a setter: values, and references to components.
    template <class Get, class Set, class... Options>
        requires std::is_member_function_pointer_v<Set>
    TPublished& Property(const char* Name, Get Getter, Set Setter, const Options&... Opts)
    {
        using V = std::remove_cvref_t<std::invoke_result_t<Get, T&>>;
        auto p = NewProperty(Name, Opts...);
        if constexpr (std::is_pointer_v<V>) {
            using C = std::remove_pointer_t<V>;
            static_assert(std::is_base_of_v<TComponent, C>,
                          "sub-objects and bitmaps are read through their getter: leave out the setter");
            static_assert((typeinfo_detail::IsStoredOption<Options> && ...), "a reference takes no default or names");
            p->FKind = pkComponent;
            p->FClassOf = &ClassOf<C>;
            p->FGetComponent = [Getter](TPersistent* o) -> TComponent* { return std::invoke(Getter, self(o)); };
            p->FSetComponent = [Setter](TPersistent* o, TComponent* value) {
                C* typed = dynamic_cast<C*>(value);
                if (value && !typed)
                    return false;
                std::invoke(Setter, self(o), typed);
                return true;
            };
        } else {
            static_assert(std::is_invocable_v<Set, T&, V>, "the setter does not take the getter's type");
            SetAccess<V>(*p, Getter, Setter, Opts...);
        }
        return Add(std::move(p));
    }

    // A sub-object, bitmap or string list the instance owns: its getter only.
    template <class Get, class... Options>
        requires(!(std::is_member_function_pointer_v<Options> || ...))
    TPublished& Property(const char* Name, Get Getter, const Options&... Opts)
    {
        using V = std::remove_cvref_t<std::invoke_result_t<Get, T&>>;
        static_assert(std::is_pointer_v<V> && std::is_base_of_v<TPersistent, std::remove_pointer_t<V>> &&
                          !std::is_base_of_v<TComponent, std::remove_pointer_t<V>>,
                      "only a sub-object, a bitmap or a string list is published without a setter");
        static_assert((typeinfo_detail::IsStoredOption<Options> && ...), "a sub-object takes no default or names");
        using C = std::remove_pointer_t<V>;
        auto p = NewProperty(Name, Opts...);
        p->FKind = std::is_base_of_v<TBitmap, C> ? pkBitmap : std::is_base_of_v<TStrings, C> ? pkStrings : pkObject;
        p->FGetObject = [Getter](TPersistent* o) -> TPersistent* { return std::invoke(Getter, self(o)); };
        if constexpr (std::is_base_of_v<TBitmap, C>)
            p->FTypeText = "TBitmap";
        else if constexpr (std::is_base_of_v<TStrings, C>)
            p->FTypeText = "TStrings";
        else
            p->FClassOf = &ClassOf<C>;
        return Add(std::move(p));
    }

    // An event: a std::function member, bound by a layout to a published method of its form.
    template <class Sig, class C, class... Options>
    TPublished& Event(const char* Name, std::function<Sig> C::*Member, const Options&... Opts)
    {
        static_assert(std::is_base_of_v<C, T>);
        static_assert((typeinfo_detail::IsStoredOption<Options> && ...), "an event takes no default or names");
        auto p = NewProperty(Name, Opts...);
        p->FKind = pkEvent;
        p->FSignature = &typeid(Sig);
        p->FTypeText = TypeName(typeid(Sig));
        p->FBind = [Member](TPersistent* o, const TMethodInfo& m, TComponent* root) {
            using Maker = std::function<TMethodHandler<Sig>(TComponent*)>;
            const Maker* maker = std::any_cast<Maker>(&m.FMaker);
            if (!maker)
                return false;
            self(o).*Member = (*maker)(root);
            return true;
        };
        p->FHandlerName = [Member](TPersistent* o) {
            const auto* handler = (self(o).*Member).template target<TMethodHandler<Sig>>();
            return handler ? handler->MethodName() : AnsiString();
        };
        return Add(std::move(p));
    }

    // A form's handler, which events of its components can be bound to by name.
    template <class C, class R, class... A>
    TPublished& PublishMethod(const char* Name, R (C::*Method)(A...))
    {
        static_assert(std::is_base_of_v<TComponent, C> && std::is_base_of_v<C, T>);
        auto m = std::make_unique<TMethodInfo>();
        m->FName = Name;
        m->FSignature = &typeid(R(A...));
        AnsiString name = Name;
        m->FMaker = std::function<TMethodHandler<R(A...)>(TComponent*)>([Method, name](TComponent* root) {
            C* form = dynamic_cast<C*>(root);
            if (!form)
                throw EFilerError("Method " + name + " does not belong to " + root->ClassName());
            return TMethodHandler<R(A...)>(
                name, [form, Method](A... args) -> R { return (form->*Method)(std::forward<A>(args)...); });
        });
        FInfo->FMethods.push_back(std::move(m));
        return *this;
    }

    // A form's pointer to the owned component of the same name.
    template <class C, class F>
    TPublished& Field(const char* Name, F* C::*Member)
    {
        static_assert(std::is_base_of_v<TComponent, F> && std::is_base_of_v<C, T>);
        auto f = std::make_unique<TFieldInfo>();
        f->FName = Name;
        f->FAccepts = [](TComponent* value) { return !value || dynamic_cast<F*>(value); };
        f->FAssign = [Member](TComponent* owner, TComponent* value) {
            static_cast<T*>(owner)->*Member = dynamic_cast<F*>(value);
        };
        FInfo->FFields.push_back(std::move(f));
        return *this;
    }

    operator TClass()
    {
        FInfo->Finish();
        return FInfo.release();   // lives as long as the program
    }

private:
    static T& self(TPersistent* o) { return *static_cast<T*>(o); }

    template <class... Options>
    static std::unique_ptr<TPropertyInfo> NewProperty(const char* Name, const Options&... Opts)
    {
        auto p = std::make_unique<TPropertyInfo>();
        p->FName = Name;
        (ApplyCommon(*p, Opts), ...);
        return p;
    }

    template <class Opt>
    static void ApplyCommon(TPropertyInfo& p, const Opt& opt)
    {
        using namespace typeinfo_detail;
        if constexpr (IsStoredOption<Opt>) {
            if constexpr (std::is_same_v<decltype(opt.Test), bool>) {
                bool stored = opt.Test;
                p.FStored = [stored](TPersistent*) { return stored; };
            } else {
                p.FStored = [test = opt.Test](TPersistent* o) { return bool(std::invoke(test, self(o))); };
            }
        } else if constexpr (IdentTableOf<Opt>::value) {
            for (const auto& [value, name] : opt)
                p.FIdents.emplace_back(int64_t(value), name);
        } else {
            static_assert(IsDefaultOption<Opt>, "a property option is Default(...), Stored(...) or a name table");
        }
    }

    template <class V, class Get, class Set, class... Options>
    static void SetAccess(TPropertyInfo& p, Get Getter, Set Setter, const Options&... Opts)
    {
        using namespace typeinfo_detail;
        constexpr bool named = (namesFor<V, Options>() || ...);
        static_assert(((!IdentTableOf<std::remove_cvref_t<Options>>::value || namesFor<V, Options>()) && ...),
                      "the name table is of another type than the property");
        (ApplyDefault<V>(p, Opts), ...);
        if constexpr (IsTSet<V> || std::is_enum_v<V> || std::is_integral_v<V>) {
            if constexpr (IsTSet<V>) {
                static_assert(named, "a set property needs the name table of its enumeration");
                p.FKind = pkSet;
                p.FMin = std::numeric_limits<int64_t>::min();
                p.FMax = std::numeric_limits<int64_t>::max();
                for (const auto& entry : p.FIdents)
                    if (entry.first < 0 || entry.first > 63)
                        throw EFilerError("Set element " + entry.second + " is out of range 0..63");
            } else if constexpr (std::is_enum_v<V>) {
                static_assert(named, "an enumeration property needs its name table");
                p.FKind = pkEnumeration;
                p.FMin = std::numeric_limits<int64_t>::max();
                p.FMax = std::numeric_limits<int64_t>::min();
                for (const auto& entry : p.FIdents) {
                    p.FMin = std::min(p.FMin, entry.first);
                    p.FMax = std::max(p.FMax, entry.first);
                }
            } else {
                p.FKind = std::is_same_v<V, bool> ? pkBoolean : pkInteger;
                static_assert(sizeof(V) < 8 || std::is_signed_v<V>, "unsigned 64-bit properties are not supported");
                p.FMin = int64_t(std::numeric_limits<V>::min());
                p.FMax = int64_t(std::numeric_limits<V>::max());
            }
            p.FGetOrd = [Getter](TPersistent* o) -> int64_t {
                if constexpr (IsTSet<V>)
                    return int64_t(std::invoke(Getter, self(o)).Bits());
                else
                    return int64_t(std::invoke(Getter, self(o)));
            };
            p.FSetOrd = [Setter](TPersistent* o, int64_t value) {
                if constexpr (IsTSet<V>)
                    std::invoke(Setter, self(o), V::FromBits(uint64_t(value)));
                else
                    std::invoke(Setter, self(o), static_cast<V>(value));
            };
        } else if constexpr (std::is_floating_point_v<V>) {
            p.FKind = pkFloat;
            p.FGetFloat = [Getter](TPersistent* o) -> long double { return std::invoke(Getter, self(o)); };
            p.FSetFloat = [Setter](TPersistent* o, long double value) {
                std::invoke(Setter, self(o), static_cast<V>(value));
            };
            p.FFloatMax = std::numeric_limits<V>::max();
        } else if constexpr (std::is_same_v<V, AnsiString>) {
            p.FKind = pkString;
            p.FGetString = [Getter](TPersistent* o) -> AnsiString { return std::invoke(Getter, self(o)); };
            p.FSetString = [Setter](TPersistent* o, const AnsiString& value) { std::invoke(Setter, self(o), value); };
        } else {
            static_assert(DependentFalse<V>, "this type cannot be published");
        }
        p.FTypeText = TypeName(typeid(V));
    }

    template <class V, class Opt>
    static void ApplyDefault(TPropertyInfo& p, const Opt& opt)
    {
        if constexpr (typeinfo_detail::IsDefaultOption<Opt>) {
            static_assert(std::is_convertible_v<decltype(opt.Value), V>, "the default is not of the property's type");
            V value = opt.Value;
            if constexpr (IsTSet<V>)
                p.FOrdDefault = int64_t(value.Bits());
            else if constexpr (std::is_enum_v<V> || std::is_integral_v<V>)
                p.FOrdDefault = int64_t(value);
            else if constexpr (std::is_floating_point_v<V>)
                p.FFloatDefault = value;
            else
                p.FStringDefault = value;
        }
    }

    TPublished& Add(std::unique_ptr<TPropertyInfo> p)
    {
        FInfo->FOwn.push_back(std::move(p));
        return *this;
    }

    std::unique_ptr<TClassInfo> FInfo;
};
