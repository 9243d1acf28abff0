// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Run-time type information: per class an ordered table of published
// properties, fields and methods. The form file is read and written through it.

#include <any>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <type_traits>
#include <typeindex>
#include <variant>
#include <vector>

#include "toolkit/core/Set.h"
#include "toolkit/core/SysUtils.h"

class TObject;
class TPersistent;
class TComponent;

enum TTypeKind : uint8_t {
    tkInteger,      // signed integers
    tkUnsigned,     // unsigned integers (up to 32 bits)
    tkBoolean,
    tkChar,         // one 8-bit character
    tkEnumeration,  // by member name
    tkSet,          // of an enumeration, by member names
    tkString,       // 8-bit string
    tkUString,      // UTF-16 string
    tkFloat,
    tkColor,        // TColor, by name where it has one
    tkClass,        // a nested persistent object owned by its holder
    tkMethod,       // an event, bound to a published method of the root by name
};

// The member names of an enumeration, indexed by ordinal.
struct TEnumTypeInfo {
    std::string Name;
    std::vector<std::string> Names;

    // The ordinal of a member name, or -1.
    int OrdinalOf(const std::string& Member) const;
};

// Every enumeration used in a published property provides its names through a
// specialisation of this function.
template <class E>
const TEnumTypeInfo& EnumTypeInfo();

// A property value as streamed: ordinals, integers, characters, Booleans,
// colours and set masks are whole numbers.
using TPropValue = std::variant<int64_t, double, AnsiString, UnicodeString>;

struct TPropInfo {
    std::string Name;
    TTypeKind Kind;
    const TEnumTypeInfo* EnumType = nullptr;   // tkEnumeration, tkSet
    std::optional<TPropValue> Default;         // none: always written (but empty strings)
    std::function<TPropValue(const TObject&)> Get;
    std::function<void(TObject&, const TPropValue&)> Set;
    std::function<TPersistent*(TObject&)> GetObject;         // tkClass
    std::optional<std::type_index> EventType;                // tkMethod: the std::function type
    std::function<void(TObject&, const std::any&)> SetEvent;  // tkMethod: a handler of EventType
    std::function<bool(const TObject&)> EventAssigned;        // tkMethod
};

// A published method of a form: creates a handler of the given event type bound to the form.
struct TMethodInfo {
    std::string Name;
    std::type_index EventType;
    std::function<std::any(TObject& Root)> Bind;
};

// A published field of a form: a child component of that name is stored in it when loaded.
struct TFieldInfo {
    std::string Name;
    std::function<bool(TObject& Root, TComponent* Child)> Assign;  // false: wrong class; null clears
};

struct TClassInfo {
    std::string Name;
    const TClassInfo* Parent = nullptr;
    std::vector<TPropInfo> Properties;
    std::vector<TFieldInfo> Fields;
    std::vector<TMethodInfo> Methods;
    // Creates an instance owned by AOwner; empty for classes that cannot be created by name.
    std::function<TComponent*(TComponent* AOwner)> Create;

    bool InheritsFrom(const TClassInfo& Other) const;
    // Lookups walk up to the parents; properties are in declared order, the parent's first.
    const TPropInfo* FindProperty(const std::string& PropName) const;
    std::vector<const TPropInfo*> AllProperties() const;
    const TMethodInfo* FindMethod(const std::string& MethodName) const;
    const TFieldInfo* FindField(const std::string& FieldName) const;
};

// The registry of classes that a form file may create by name.
void RegisterClass(const TClassInfo& Info);
const TClassInfo* FindClass(const std::string& ClassName);

// ---- building the tables ----------------------------------------------------

namespace typinfo_detail {

template <class T>
struct PropTraits;

template <class T>
    requires((std::is_integral_v<T> && !std::is_same_v<T, char>) || std::is_enum_v<T>)
struct PropTraits<T> {
    static TPropValue To(T v) {
        if constexpr (std::is_same_v<T, char>)
            return static_cast<int64_t>(static_cast<unsigned char>(v));  // 8-bit characters are 0..255
        else
            return static_cast<int64_t>(v);
    }
    static T From(const TPropValue& v) { return static_cast<T>(std::get<int64_t>(v)); }
};
// Characters stream as their byte value, 0..255.
template <>
struct PropTraits<char> {
    static TPropValue To(char v) { return static_cast<int64_t>(static_cast<unsigned char>(v)); }
    static char From(const TPropValue& v) { return static_cast<char>(std::get<int64_t>(v)); }
};
template <>
struct PropTraits<double> {
    static TPropValue To(double v) { return v; }
    static double From(const TPropValue& v) { return std::get<double>(v); }
};
template <>
struct PropTraits<AnsiString> {
    static TPropValue To(const AnsiString& v) { return v; }
    static AnsiString From(const TPropValue& v) { return std::get<AnsiString>(v); }
};
template <>
struct PropTraits<UnicodeString> {
    static TPropValue To(const UnicodeString& v) { return v; }
    static UnicodeString From(const TPropValue& v) { return std::get<UnicodeString>(v); }
};
template <class E, std::size_t N>
struct PropTraits<Set<E, N>> {
    static TPropValue To(const Set<E, N>& v) { return static_cast<int64_t>(v.ToMask()); }
    static Set<E, N> From(const TPropValue& v) {
        return Set<E, N>::FromMask(static_cast<uint64_t>(std::get<int64_t>(v)));
    }
};

template <class T>
using Plain = std::remove_cvref_t<T>;

}  // namespace typinfo_detail

// Builds the table of class C. Accessors are member functions: a getter
// `T (C::*)() const` (or returning const T&) and a setter `void (C::*)(T)` (or const T&).
template <class C>
class TClassInfoBuilder {
public:
    TClassInfoBuilder(std::string Name, const TClassInfo* Parent) {
        FInfo.Name = std::move(Name);
        FInfo.Parent = Parent;
    }

    template <class G, class S>
    TClassInfoBuilder& Property(std::string Name, TTypeKind Kind, G Getter, S Setter,
                                const std::optional<TPropValue>& Default = std::nullopt,
                                const TEnumTypeInfo* EnumType = nullptr) {
        TPropInfo& p = Add(std::move(Name), Kind, Getter, Setter, EnumType);
        if (Default) p.Default.emplace(*Default);
        return *this;
    }

    TClassInfoBuilder& Int(std::string Name, auto Getter, auto Setter, std::optional<int64_t> Default) {
        return Numeric(std::move(Name), tkInteger, Getter, Setter, Default);
    }
    TClassInfoBuilder& UInt(std::string Name, auto Getter, auto Setter, std::optional<int64_t> Default) {
        return Numeric(std::move(Name), tkUnsigned, Getter, Setter, Default);
    }
    TClassInfoBuilder& Bool(std::string Name, auto Getter, auto Setter, std::optional<bool> Default) {
        return Numeric(std::move(Name), tkBoolean, Getter, Setter,
                       Default ? std::optional<int64_t>(*Default) : std::nullopt);
    }
    TClassInfoBuilder& Char(std::string Name, auto Getter, auto Setter, std::optional<int64_t> Default) {
        return Numeric(std::move(Name), tkChar, Getter, Setter, Default);
    }
    TClassInfoBuilder& Color(std::string Name, auto Getter, auto Setter, std::optional<int64_t> Default) {
        return Numeric(std::move(Name), tkColor, Getter, Setter, Default);
    }
    TClassInfoBuilder& Float(std::string Name, auto Getter, auto Setter, std::optional<double> Default) {
        TPropInfo& p = Add(std::move(Name), tkFloat, Getter, Setter, nullptr);
        if (Default) p.Default.emplace(*Default);
        return *this;
    }
    // Strings have no declared default: written whenever they are not empty.
    TClassInfoBuilder& Str(std::string Name, auto Getter, auto Setter) {
        Add(std::move(Name), tkString, Getter, Setter, nullptr);
        return *this;
    }
    TClassInfoBuilder& UStr(std::string Name, auto Getter, auto Setter) {
        Add(std::move(Name), tkUString, Getter, Setter, nullptr);
        return *this;
    }

    // An enumeration property: streamed by member name.
    template <class G, class S, class E>
        requires std::is_enum_v<E>
    TClassInfoBuilder& Enum(std::string Name, G Getter, S Setter, E Default) {
        using T = typinfo_detail::Plain<std::invoke_result_t<G, const C&>>;
        Add(std::move(Name), tkEnumeration, Getter, Setter, &EnumTypeInfo<T>())
            .Default.emplace(static_cast<int64_t>(Default));
        return *this;
    }

    // A set property over enumeration E; the default is a mask of member ordinals.
    template <class E, class G, class S>
    TClassInfoBuilder& SetOf(std::string Name, G Getter, S Setter, std::optional<int64_t> Default) {
        TPropInfo& p = Add(std::move(Name), tkSet, Getter, Setter, &EnumTypeInfo<E>());
        if (Default) p.Default.emplace(*Default);
        return *this;
    }

    // A nested persistent object, owned by C, whose properties are streamed as Name.Prop.
    template <class G>
    TClassInfoBuilder& Object(std::string Name, G Getter) {
        TPropInfo p;
        p.Name = std::move(Name);
        p.Kind = tkClass;
        p.GetObject = [Getter](TObject& o) -> TPersistent* { return std::invoke(Getter, static_cast<C&>(o)); };
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // An event of type Ev (a std::function alias).
    template <class Ev, class G, class S>
    TClassInfoBuilder& Event(std::string Name, G Getter, S Setter) {
        TPropInfo p;
        p.Name = std::move(Name);
        p.Kind = tkMethod;
        p.EventType = std::type_index(typeid(Ev));
        p.SetEvent = [Setter](TObject& o, const std::any& h) {
            std::invoke(Setter, static_cast<C&>(o), std::any_cast<const Ev&>(h));
        };
        p.EventAssigned = [Getter](const TObject& o) {
            return static_cast<bool>(std::invoke(Getter, static_cast<const C&>(o)));
        };
        FInfo.Properties.push_back(std::move(p));
        return *this;
    }

    // A published method with the signature of event type Ev; Method is a
    // member function of C taking the event's parameters.
    template <class Ev, class M>
    TClassInfoBuilder& Method(std::string Name, M Method) {
        FInfo.Methods.push_back({std::move(Name), std::type_index(typeid(Ev)), [Method](TObject& root) {
                                     C* self = &static_cast<C&>(root);
                                     return std::any(Ev([self, Method](auto&&... args) {
                                         return std::invoke(Method, self, std::forward<decltype(args)>(args)...);
                                     }));
                                 }});
        return *this;
    }

    // A published field that receives the child component of the same name;
    // a null child clears it (a failed load takes back what it stored).
    template <class Child>
    TClassInfoBuilder& Field(std::string Name, Child* C::*Member) {
        FInfo.Fields.push_back({std::move(Name), [Member](TObject& root, TComponent* child) {
                                    auto* typed = dynamic_cast<Child*>(child);
                                    if (child && !typed) return false;
                                    static_cast<C&>(root).*Member = typed;
                                    return true;
                                }});
        return *this;
    }

    // Lets the form reader create C by its class name.
    TClassInfoBuilder& Creatable() {
        FInfo.Create = [](TComponent* AOwner) -> TComponent* { return new C(AOwner); };
        return *this;
    }

    TClassInfo Build() { return std::move(FInfo); }

private:
    // Appends a property without a default and returns it. Defaults are
    // emplaced in place: copying an optional variant of strings around trips
    // g++ 12's maybe-uninitialized analysis at -O2.
    template <class G, class S>
    TPropInfo& Add(std::string Name, TTypeKind Kind, G Getter, S Setter, const TEnumTypeInfo* EnumType) {
        using T = typinfo_detail::Plain<std::invoke_result_t<G, const C&>>;
        using Traits = typinfo_detail::PropTraits<T>;
        TPropInfo& p = FInfo.Properties.emplace_back();
        p.Name = std::move(Name);
        p.Kind = Kind;
        p.EnumType = EnumType;
        p.Get = [Getter](const TObject& o) { return Traits::To(std::invoke(Getter, static_cast<const C&>(o))); };
        p.Set = [Setter](TObject& o, const TPropValue& v) { std::invoke(Setter, static_cast<C&>(o), Traits::From(v)); };
        return p;
    }
    TClassInfoBuilder& Numeric(std::string Name, TTypeKind Kind, auto Getter, auto Setter,
                               std::optional<int64_t> Default) {
        TPropInfo& p = Add(std::move(Name), Kind, Getter, Setter, nullptr);
        if (Default) p.Default.emplace(*Default);
        return *this;
    }
    TClassInfo FInfo;
};

// Declares the class information of a class inside its body.
#define OSTRA_CLASSINFO()                          \
public:                                            \
    static const TClassInfo& StaticClassInfo();    \
    const TClassInfo& ClassInfo() const override;  \
                                                   \
private:

// Defines ClassInfo() in the class's source file; StaticClassInfo() is written by hand.
#define OSTRA_CLASSINFO_IMPL(Class) \
    const TClassInfo& Class::ClassInfo() const { return StaticClassInfo(); }
