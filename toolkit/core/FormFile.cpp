// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/FormFile.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <exception>
#include <limits>
#include <memory>
#include <variant>
#include <vector>

#include "toolkit/core/Graphics.h"

EParserError::EParserError(int Line, const AnsiString& Problem)
    : Exception(Format("Line %d: %s", {Line, Problem})), FLine(Line) {}

namespace {

// ---- tokens -----------------------------------------------------------------

// A piece of a string literal: quoted text as the file holds it, or a #code.
using TStringPiece = std::variant<std::string, uint32_t>;
using TStringLiteral = std::vector<TStringPiece>;

enum class TTokenKind { Ident, Integer, Float, String, Symbol, End };

struct TToken {
    TTokenKind Kind = TTokenKind::End;
    int Line = 1;
    std::string Text;  // as written, for messages
    int64_t Integer = 0;
    bool Hex = false;
    double Float = 0;
    TStringLiteral String;
};

std::string Describe(const TToken& T) {
    switch (T.Kind) {
        case TTokenKind::End:
            return "end of file";
        case TTokenKind::String:
            return "a string";
        default:
            return "'" + T.Text + "'";
    }
}

bool IsDigit(char C) { return C >= '0' && C <= '9'; }
bool IsHexDigit(char C) { return IsDigit(C) || (C >= 'a' && C <= 'f') || (C >= 'A' && C <= 'F'); }
bool IsIdentStart(char C) { return (C >= 'a' && C <= 'z') || (C >= 'A' && C <= 'Z') || C == '_'; }
bool IsIdentChar(char C) { return IsIdentStart(C) || IsDigit(C); }
bool IsBlank(char C) { return C == ' ' || C == '\t' || C == '\r' || C == '\n'; }
bool IsSymbolChar(char C) { return C != '\0' && std::strchr("=:.[](),+", C); }

class TLexer {
public:
    explicit TLexer(const std::string& Text) : FText(Text) {
        if (FText.starts_with("\xEF\xBB\xBF")) FPos = 3;  // a UTF-8 byte order mark
    }

    TToken Next() {
        SkipBlanks();
        if (AtEnd()) {
            // A missing end is reported on the last line that holds something.
            FLine = FLastLine;
            return Make(TTokenKind::End);
        }
        FLastLine = FLine;
        const char c = Peek();
        if (IsIdentStart(c)) return ReadIdent();
        if (IsDigit(c) || c == '$' || (c == '-' && (IsDigit(Peek(1)) || Peek(1) == '$'))) return ReadNumber();
        if (c == '\'' || c == '#') return ReadString();
        if (IsSymbolChar(c)) {
            ++FPos;
            return Make(TTokenKind::Symbol, std::string(1, c));
        }
        const auto code = static_cast<unsigned char>(c);
        Fail(code > 32 && code < 127 ? Format("unexpected character '%s'", {std::string(1, c)})
                                     : Format("unexpected character #%d", {code}));
    }

private:
    [[noreturn]] void Fail(const std::string& Problem) const { throw EParserError(FLine, Problem); }
    bool AtEnd() const { return FPos >= FText.size(); }
    char Peek(std::size_t Ahead = 0) const { return FPos + Ahead < FText.size() ? FText[FPos + Ahead] : '\0'; }

    TToken Make(TTokenKind Kind, std::string Text = {}) const {
        TToken t;
        t.Kind = Kind;
        t.Line = FLine;
        t.Text = std::move(Text);
        return t;
    }

    void SkipBlanks() {
        while (!AtEnd() && IsBlank(Peek())) {
            if (Peek() == '\n') ++FLine;
            ++FPos;
        }
    }

    template <class Pred>
    std::size_t SkipWhile(Pred Accept) {
        const std::size_t start = FPos;
        while (!AtEnd() && Accept(Peek())) ++FPos;
        return FPos - start;
    }

    TToken ReadIdent() {
        const std::size_t start = FPos;
        SkipWhile(IsIdentChar);
        return Make(TTokenKind::Ident, FText.substr(start, FPos - start));
    }

    TToken ReadNumber() {
        const std::size_t start = FPos;
        const bool negative = Peek() == '-';
        if (negative) ++FPos;
        TToken t = Make(TTokenKind::Integer);
        if (Peek() == '$') {
            ++FPos;
            const std::size_t digits = FPos;
            if (SkipWhile(IsHexDigit) == 0) Fail("hexadecimal digits expected after $");
            uint64_t magnitude = 0;
            const auto [end, ec] = std::from_chars(FText.data() + digits, FText.data() + FPos, magnitude, 16);
            if (ec != std::errc() || magnitude > uint64_t{std::numeric_limits<int64_t>::max()})
                Fail("number out of range: " + FText.substr(start, FPos - start));
            t.Integer = negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
            t.Hex = true;
        } else {
            SkipWhile(IsDigit);
            bool isFloat = false;
            if (Peek() == '.' && IsDigit(Peek(1))) {
                isFloat = true;
                ++FPos;
                SkipWhile(IsDigit);
            }
            if ((Peek() == 'e' || Peek() == 'E') &&
                (IsDigit(Peek(1)) || ((Peek(1) == '+' || Peek(1) == '-') && IsDigit(Peek(2))))) {
                isFloat = true;
                FPos += 2;
                SkipWhile(IsDigit);
            }
            const char* first = FText.data() + start;
            const char* last = FText.data() + FPos;
            const auto ec =
                isFloat ? std::from_chars(first, last, t.Float).ec : std::from_chars(first, last, t.Integer).ec;
            if (ec != std::errc()) Fail("number out of range: " + std::string(first, last));
            if (isFloat) t.Kind = TTokenKind::Float;
        }
        t.Text = FText.substr(start, FPos - start);
        if (IsIdentChar(Peek())) Fail("invalid number: " + t.Text + Peek());
        return t;
    }

    // Quoted parts and #codes that touch each other make one string.
    TToken ReadString() {
        TToken t = Make(TTokenKind::String);
        while (Peek() == '\'' || Peek() == '#') {
            if (Peek() == '\'')
                t.String.emplace_back(ReadQuoted());
            else
                t.String.emplace_back(ReadCharCode());
        }
        return t;
    }

    std::string ReadQuoted() {
        ++FPos;
        std::string text;
        for (;;) {
            if (AtEnd() || Peek() == '\n' || Peek() == '\r') Fail("unterminated string");
            const char c = FText[FPos++];
            if (c == '\'') {
                if (Peek() != '\'') return text;
                ++FPos;
            }
            text.push_back(c);
        }
    }

    uint32_t ReadCharCode() {
        const std::size_t start = FPos++;
        const bool hex = Peek() == '$';
        if (hex) ++FPos;
        const std::size_t digits = FPos;
        if (SkipWhile(hex ? IsHexDigit : IsDigit) == 0) Fail("character code expected after #");
        uint32_t code = 0;
        const auto [end, ec] = std::from_chars(FText.data() + digits, FText.data() + FPos, code, hex ? 16 : 10);
        if (ec != std::errc() || code > 0xFFFF)
            Fail("character code out of range: " + FText.substr(start, FPos - start));
        return code;
    }

    const std::string& FText;
    std::size_t FPos = 0;
    int FLine = 1;
    int FLastLine = 1;
};

// ---- values -----------------------------------------------------------------

struct TIntegerValue {
    int64_t Value;
    bool Hex;
};
struct TFloatValue {
    double Value;
};
struct TIdentValue {
    std::string Name;
};
struct TSetValue {
    std::vector<std::string> Members;
};
struct TListValue {
    std::vector<TStringLiteral> Items;
};
using TValue = std::variant<TIntegerValue, TFloatValue, TStringLiteral, TIdentValue, TSetValue, TListValue>;

struct THeader {
    int Line;
    std::string Name;
    std::string ClassName;
};

class TParser {
public:
    explicit TParser(const std::string& Text) : FLexer(Text) { Advance(); }

    const TToken& Current() const { return FToken; }
    void Advance() { FToken = FLexer.Next(); }
    bool IsSymbol(char C) const { return FToken.Kind == TTokenKind::Symbol && FToken.Text[0] == C; }
    bool IsIdent(const char* Word) const { return FToken.Kind == TTokenKind::Ident && FToken.Text == Word; }

    [[noreturn]] void Fail(const std::string& Problem) const { throw EParserError(FToken.Line, Problem); }
    [[noreturn]] void Expected(const std::string& What) const {
        Fail(Format("%s expected, found %s", {What, Describe(FToken)}));
    }

    std::string ExpectIdent(const std::string& What) {
        if (FToken.Kind != TTokenKind::Ident) Expected(What);
        std::string name = FToken.Text;
        Advance();
        return name;
    }

    void ExpectSymbol(char C) {
        if (!IsSymbol(C)) Expected(Format("'%s'", {std::string(1, C)}));
        Advance();
    }

    // `object Name: TClass`, or `object TClass` for an unnamed object.
    THeader ParseHeader() {
        if (!IsIdent("object")) Expected("'object'");
        const int line = FToken.Line;
        Advance();
        std::string first = ExpectIdent("object name");
        if (!IsSymbol(':')) return {line, "", std::move(first)};
        Advance();
        return {line, std::move(first), ExpectIdent("class name")};
    }

    TValue ParseValue() {
        switch (FToken.Kind) {
            case TTokenKind::Integer: {
                const TIntegerValue value{FToken.Integer, FToken.Hex};
                Advance();
                return value;
            }
            case TTokenKind::Float: {
                const TFloatValue value{FToken.Float};
                Advance();
                return value;
            }
            case TTokenKind::String:
                return ParseString();
            case TTokenKind::Ident:
                return TIdentValue{ExpectIdent("value")};
            case TTokenKind::Symbol:
                if (IsSymbol('[')) return ParseSet();
                if (IsSymbol('(')) return ParseList();
                break;
            case TTokenKind::End:
                break;
        }
        Expected("value");
    }

private:
    // Pieces joined with '+', possibly across lines.
    TStringLiteral ParseString() {
        TStringLiteral text = FToken.String;
        Advance();
        while (IsSymbol('+')) {
            Advance();
            if (FToken.Kind != TTokenKind::String) Expected("string");
            text.insert(text.end(), FToken.String.begin(), FToken.String.end());
            Advance();
        }
        return text;
    }

    TSetValue ParseSet() {
        Advance();
        TSetValue set;
        if (!IsSymbol(']')) {
            set.Members.push_back(ExpectIdent("set member"));
            while (IsSymbol(',')) {
                Advance();
                set.Members.push_back(ExpectIdent("set member"));
            }
        }
        ExpectSymbol(']');
        return set;
    }

    TListValue ParseList() {
        Advance();
        TListValue list;
        while (FToken.Kind == TTokenKind::String) list.Items.push_back(ParseString());
        ExpectSymbol(')');
        return list;
    }

    TLexer FLexer;
    TToken FToken;
};

// ---- converting values to property values ------------------------------------

[[noreturn]] void WrongKind(const TPropInfo& Prop, const char* Expected, int Line) {
    throw EParserError(Line, Format("%s expected for %s", {Expected, Prop.Name}));
}

[[noreturn]] void OutOfRange(const TPropInfo& Prop, int64_t Value, int Line) {
    throw EParserError(Line, Format("value %s out of range for %s", {IntToStr(Value), Prop.Name}));
}

int64_t RangedInteger(const TPropInfo& Prop, const TValue& Value, int64_t Min, int64_t Max, const char* Expected,
                      int Line) {
    const auto* integer = std::get_if<TIntegerValue>(&Value);
    if (!integer) WrongKind(Prop, Expected, Line);
    if (integer->Value < Min || integer->Value > Max) OutOfRange(Prop, integer->Value, Line);
    return integer->Value;
}

// 32-bit signed; a hexadecimal literal is the bit pattern, so $FFFFFFFF is -1.
int64_t SignedInteger(const TPropInfo& Prop, const TValue& Value, const char* Expected, int Line) {
    constexpr int64_t kWrap = int64_t{1} << 32;
    int64_t v = RangedInteger(Prop, Value, std::numeric_limits<int64_t>::min(), std::numeric_limits<int64_t>::max(),
                              Expected, Line);
    if (std::get<TIntegerValue>(Value).Hex && v > std::numeric_limits<int32_t>::max() && v < kWrap) v -= kWrap;
    if (v < std::numeric_limits<int32_t>::min() || v > std::numeric_limits<int32_t>::max()) OutOfRange(Prop, v, Line);
    return v;
}

AnsiString ToAnsi(const TStringLiteral& Literal, const std::string& PropName, int Line) {
    AnsiString text;
    for (const TStringPiece& piece : Literal) {
        if (const auto* quoted = std::get_if<std::string>(&piece)) {
            text += *quoted;
            continue;
        }
        const uint32_t code = std::get<uint32_t>(piece);
        if (code > 255) throw EParserError(Line, Format("character #%d does not fit in %s", {code, PropName}));
        text.push_back(static_cast<char>(code));
    }
    return text;
}

// Quoted text is UTF-8 in the file; #codes are UTF-16 units.
UnicodeString ToUnicode(const TStringLiteral& Literal) {
    UnicodeString text;
    for (const TStringPiece& piece : Literal) {
        if (const auto* quoted = std::get_if<std::string>(&piece))
            text += Utf8ToUnicode(*quoted);
        else
            text.push_back(static_cast<char16_t>(std::get<uint32_t>(piece)));
    }
    return text;
}

const TStringLiteral& StringOf(const TPropInfo& Prop, const TValue& Value, int Line) {
    const auto* literal = std::get_if<TStringLiteral>(&Value);
    if (!literal) WrongKind(Prop, "string", Line);
    return *literal;
}

const std::string& IdentOf(const TPropInfo& Prop, const TValue& Value, const char* Expected, int Line) {
    const auto* ident = std::get_if<TIdentValue>(&Value);
    if (!ident) WrongKind(Prop, Expected, Line);
    return ident->Name;
}

int64_t CharValue(const TPropInfo& Prop, const TValue& Value, int Line) {
    if (std::holds_alternative<TIntegerValue>(Value)) return RangedInteger(Prop, Value, 0, 255, "character", Line);
    const AnsiString text = ToAnsi(StringOf(Prop, Value, Line), Prop.Name, Line);
    if (text.size() != 1) WrongKind(Prop, "character", Line);
    return static_cast<unsigned char>(text[0]);
}

int64_t BooleanValue(const TPropInfo& Prop, const TValue& Value, int Line) {
    const std::string& name = IdentOf(Prop, Value, "True or False", Line);
    if (name != "True" && name != "False") WrongKind(Prop, "True or False", Line);
    return name == "True";
}

int EnumOrdinal(const TPropInfo& Prop, const std::string& Member, int Line) {
    const int ordinal = Prop.EnumType->OrdinalOf(Member);
    if (ordinal < 0) throw EParserError(Line, Format("'%s' is not a member of %s", {Member, Prop.EnumType->Name}));
    return ordinal;
}

int64_t SetMask(const TPropInfo& Prop, const TValue& Value, int Line) {
    const auto* set = std::get_if<TSetValue>(&Value);
    if (!set) WrongKind(Prop, "set", Line);
    uint64_t mask = 0;
    for (const std::string& member : set->Members) {
        const int ordinal = EnumOrdinal(Prop, member, Line);
        if (ordinal >= 64) throw EParserError(Line, Format("'%s' cannot be stored in %s", {member, Prop.Name}));
        mask |= uint64_t{1} << ordinal;
    }
    return static_cast<int64_t>(mask);
}

double FloatValue(const TPropInfo& Prop, const TValue& Value, int Line) {
    if (const auto* integer = std::get_if<TIntegerValue>(&Value)) return static_cast<double>(integer->Value);
    const auto* real = std::get_if<TFloatValue>(&Value);
    if (!real) WrongKind(Prop, "number", Line);
    return real->Value;
}

int64_t ColorValue(const TPropInfo& Prop, const TValue& Value, int Line) {
    const auto* ident = std::get_if<TIdentValue>(&Value);
    if (!ident) return SignedInteger(Prop, Value, "colour", Line);
    const std::optional<TColor> color = IdentToColor(ident->Name);
    if (!color) throw EParserError(Line, Format("'%s' is not a colour", {ident->Name}));
    return *color;
}

TPropValue Convert(const TPropInfo& Prop, const TValue& Value, int Line) {
    switch (Prop.Kind) {
        case tkInteger:
            return SignedInteger(Prop, Value, "integer", Line);
        case tkUnsigned:
            return RangedInteger(Prop, Value, 0, std::numeric_limits<uint32_t>::max(), "unsigned integer", Line);
        case tkBoolean:
            return BooleanValue(Prop, Value, Line);
        case tkChar:
            return CharValue(Prop, Value, Line);
        case tkEnumeration:
            return int64_t{EnumOrdinal(Prop, IdentOf(Prop, Value, "enumeration member", Line), Line)};
        case tkSet:
            return SetMask(Prop, Value, Line);
        case tkString:
            return ToAnsi(StringOf(Prop, Value, Line), Prop.Name, Line);
        case tkUString:
            return ToUnicode(StringOf(Prop, Value, Line));
        case tkFloat:
            return FloatValue(Prop, Value, Line);
        case tkColor:
            return ColorValue(Prop, Value, Line);
        case tkClass:
        case tkMethod:
            break;
    }
    throw EParserError(Line, Format("%s cannot take a plain value", {Prop.Name}));
}

// ---- reading ----------------------------------------------------------------

// Runs code of the objects being loaded; what it throws is reported with the line.
template <class Action>
decltype(auto) Guarded(int Line, Action&& Run) {
    try {
        return Run();
    } catch (const EParserError&) {
        throw;
    } catch (const std::exception& e) {
        throw EParserError(Line, e.what());
    }
}

const TClassInfo& CreatableClass(const THeader& Header) {
    const TClassInfo* info = FindClass(Header.ClassName);
    if (!info) throw EParserError(Header.Line, Format("unknown class '%s'", {Header.ClassName}));
    if (!info->Create)
        throw EParserError(Header.Line, Format("class %s cannot be created by name", {Header.ClassName}));
    return *info;
}

const TPropInfo& FindProp(const TPersistent& Holder, const std::string& Name, int Line) {
    const TPropInfo* prop = Holder.ClassInfo().FindProperty(Name);
    if (!prop) throw EParserError(Line, Format("unknown property '%s' of %s", {Name, Holder.ClassName()}));
    return *prop;
}

class TFormReader {
public:
    TFormReader(TParser& Parser, TComponent& Root) : FParser(Parser), FRoot(Root) {}

    void Read(const THeader& Header) {
        FRoot.BeginLoading();
        FRoot.SetName(Header.Name);
        try {
            ReadBody(FRoot, Header);
            if (FParser.Current().Kind != TTokenKind::End)
                FParser.Fail(Format("unexpected %s after the final end", {Describe(FParser.Current())}));
        } catch (...) {
            Rollback();
            throw;
        }
        EndLoading();
    }

private:
    void ReadBody(TComponent& Object, const THeader& Header) {
        for (;;) {
            if (FParser.Current().Kind == TTokenKind::End) {
                const std::string& name = Header.Name.empty() ? Header.ClassName : Header.Name;
                FParser.Fail(Format("'end' of object %s (line %d) expected", {name, Header.Line}));
            }
            if (FParser.IsIdent("end")) {
                FParser.Advance();
                return;
            }
            if (FParser.IsIdent("object"))
                ReadChild(Object);
            else
                ReadProperty(Object);
        }
    }

    void ReadChild(TComponent& Parent) {
        const THeader header = FParser.ParseHeader();
        const TClassInfo& info = CreatableClass(header);
        if (!header.Name.empty() && FRoot.FindComponent(header.Name))
            throw EParserError(header.Line, Format("duplicate component name '%s'", {header.Name}));
        TComponent* child = Guarded(header.Line, [&] { return info.Create(&FRoot); });
        FCreated.push_back(child);
        child->BeginLoading();
        child->SetName(header.Name);
        Guarded(header.Line, [&] { child->SetParentComponent(&Parent); });
        StoreInField(*child, header);
        ReadBody(*child, header);
    }

    void StoreInField(TComponent& Child, const THeader& Header) {
        const TFieldInfo* field = Header.Name.empty() ? nullptr : FRoot.ClassInfo().FindField(Header.Name);
        if (!field) return;
        if (!field->Assign(FRoot, &Child))
            throw EParserError(Header.Line, Format("field %s of %s cannot hold a %s",
                                                   {Header.Name, FRoot.ClassName(), Child.ClassName()}));
        FFields.push_back(field);
    }

    void ReadProperty(TComponent& Object) {
        const int line = FParser.Current().Line;
        std::vector<std::string> path{FParser.ExpectIdent("property name")};
        while (FParser.IsSymbol('.')) {
            FParser.Advance();
            path.push_back(FParser.ExpectIdent("property name"));
        }
        TPersistent& holder = ResolveHolder(Object, path, line);
        auto* strings = dynamic_cast<TStrings*>(&holder);
        if (strings && path.back() == "Strings")
            ReadStrings(*strings, line);
        else
            ReadValue(holder, FindProp(holder, path.back(), line), line);
    }

    // The object that holds the last property of A.B.C: the nested object B of A.
    TPersistent& ResolveHolder(TPersistent& Object, const std::vector<std::string>& Path, int Line) {
        TPersistent* holder = &Object;
        for (std::size_t i = 0; i + 1 < Path.size(); ++i) {
            const TPropInfo& prop = FindProp(*holder, Path[i], Line);
            if (prop.Kind != tkClass)
                throw EParserError(Line, Format("property %s of %s is not an object", {Path[i], holder->ClassName()}));
            TPersistent* nested = prop.GetObject(*holder);
            if (!nested)
                throw EParserError(Line, Format("property %s of %s holds no object", {Path[i], holder->ClassName()}));
            holder = nested;
        }
        return *holder;
    }

    void ReadStrings(TStrings& Strings, int Line) {
        FParser.ExpectSymbol('=');
        const TValue value = FParser.ParseValue();
        const auto* list = std::get_if<TListValue>(&value);
        if (!list) throw EParserError(Line, "list of strings expected for Strings");
        std::vector<AnsiString> items;
        for (const TStringLiteral& item : list->Items) items.push_back(ToAnsi(item, "Strings", Line));
        Guarded(Line, [&] {
            Strings.Clear();
            for (const AnsiString& item : items) Strings.Add(item);
        });
    }

    void ReadValue(TPersistent& Holder, const TPropInfo& Prop, int Line) {
        FParser.ExpectSymbol('=');
        const TValue value = FParser.ParseValue();
        if (Prop.Kind == tkClass)
            throw EParserError(Line, Format("%s is an object: set its properties as %s.Name", {Prop.Name, Prop.Name}));
        if (Prop.Kind == tkMethod) {
            BindEvent(Holder, Prop, IdentOf(Prop, value, "method name", Line), Line);
            return;
        }
        const TPropValue converted = Convert(Prop, value, Line);
        Guarded(Line, [&] { Prop.Set(Holder, converted); });
    }

    void BindEvent(TPersistent& Holder, const TPropInfo& Prop, const std::string& MethodName, int Line) {
        const TMethodInfo* method = FRoot.ClassInfo().FindMethod(MethodName);
        if (!method) throw EParserError(Line, Format("unknown method '%s' of %s", {MethodName, FRoot.ClassName()}));
        if (!Prop.EventType || method->EventType != *Prop.EventType)
            throw EParserError(Line, Format("method %s does not match event %s", {MethodName, Prop.Name}));
        Guarded(Line, [&] {
            Prop.SetEvent(Holder, method->Bind(FRoot));
            Holder.SetBoundMethodName(Prop.Name, MethodName);
        });
    }

    // Children first in creation order, the root last, so its Loaded sees them complete.
    void EndLoading() {
        std::exception_ptr firstError;
        const auto notify = [&](TComponent& c) {
            try {
                c.Loaded();
            } catch (...) {
                if (!firstError) firstError = std::current_exception();
            }
        };
        for (TComponent* child : FCreated) notify(*child);
        notify(FRoot);
        if (firstError) std::rethrow_exception(firstError);
    }

    void Rollback() noexcept {
        for (const TFieldInfo* field : FFields) field->Assign(FRoot, nullptr);
        for (auto it = FCreated.rbegin(); it != FCreated.rend(); ++it) delete *it;
        FRoot.TComponent::Loaded();  // leaves the loading state without the object's own post-load step
    }

    TParser& FParser;
    TComponent& FRoot;
    std::vector<TComponent*> FCreated;
    std::vector<const TFieldInfo*> FFields;
};

// ---- writing ----------------------------------------------------------------

// Printable ASCII goes in quotes; every other unit as a #code (bytes or UTF-16 units).
template <class Str>
std::string QuoteString(const Str& Text) {
    using Unit = std::make_unsigned_t<typename Str::value_type>;
    std::string out;
    bool quoted = false;
    for (const auto c : Text) {
        const uint32_t code = static_cast<Unit>(c);
        const bool printable = code >= 32 && code < 127;
        if (printable != quoted) {
            out += '\'';
            quoted = printable;
        }
        if (!printable) {
            out += '#' + std::to_string(code);
            continue;
        }
        out += static_cast<char>(code);
        if (code == '\'') out += '\'';
    }
    if (quoted) out += '\'';
    return out.empty() ? "''" : out;
}

const std::string& EnumName(const TPropInfo& Prop, int64_t Ordinal) {
    const std::vector<std::string>& names = Prop.EnumType->Names;
    if (Ordinal < 0 || Ordinal >= static_cast<int64_t>(names.size()))
        throw EConvertError(Format("%s: ordinal %d has no name in %s", {Prop.Name, Ordinal, Prop.EnumType->Name}));
    return names[static_cast<std::size_t>(Ordinal)];
}

std::string SetText(const TPropInfo& Prop, int64_t Mask) {
    std::string out;
    const std::vector<std::string>& names = Prop.EnumType->Names;
    for (std::size_t i = 0; i < names.size() && i < 64; ++i) {
        if (!(static_cast<uint64_t>(Mask) & (uint64_t{1} << i))) continue;
        if (!out.empty()) out += ", ";
        out += names[i];
    }
    return "[" + out + "]";
}

// Shortest text that reads back as the same double; always with a '.' or an
// exponent so that large values are not taken for integers.
std::string FloatText(const TPropInfo& Prop, double Value) {
    if (!std::isfinite(Value)) throw EConvertError(Format("%s is not a finite number", {Prop.Name}));
    char buffer[40];
    const auto end = std::to_chars(buffer, buffer + sizeof buffer, Value).ptr;
    std::string text(buffer, end);
    if (text.find_first_of(".e") == std::string::npos) text += ".0";
    return text;
}

std::string ValueText(const TPropInfo& Prop, const TPropValue& Value) {
    const auto integer = [&] { return std::get<int64_t>(Value); };
    switch (Prop.Kind) {
        case tkInteger:
        case tkUnsigned:
            return IntToStr(integer());
        case tkBoolean:
            return integer() ? "True" : "False";
        case tkChar:
            return QuoteString(AnsiString(1, static_cast<char>(integer())));
        case tkEnumeration:
            return EnumName(Prop, integer());
        case tkSet:
            return SetText(Prop, integer());
        case tkString:
            return QuoteString(std::get<AnsiString>(Value));
        case tkUString:
            return QuoteString(std::get<UnicodeString>(Value));
        case tkFloat:
            return FloatText(Prop, std::get<double>(Value));
        case tkColor: {
            const auto color = static_cast<TColor>(integer());
            return ColorToIdent(color).value_or(IntToStr(color));
        }
        case tkClass:
        case tkMethod:
            break;
    }
    throw EConvertError(Format("%s has no plain value", {Prop.Name}));
}

bool IsStored(const TPropInfo& Prop, const TPropValue& Value) {
    if (Prop.Default) return Value != *Prop.Default;
    if (Prop.Kind == tkString) return !std::get<AnsiString>(Value).empty();
    if (Prop.Kind == tkUString) return !std::get<UnicodeString>(Value).empty();
    return true;
}

class TFormWriter {
public:
    std::string Write(const TComponent& Root) {
        WriteHeader(Root, 0);
        WriteProperties(Root, "", 1);
        for (int i = 0; i < Root.ComponentCount(); ++i) {
            const TComponent& child = *Root.Components(i);
            WriteHeader(child, 1);
            WriteProperties(child, "", 2);
            WriteLine(1, "end");
        }
        WriteLine(0, "end");
        return std::move(FOut);
    }

private:
    void WriteLine(int Indent, const std::string& Text) {
        FOut.append(static_cast<std::size_t>(Indent) * 2, ' ');
        FOut += Text;
        FOut += '\n';
    }

    void WriteHeader(const TComponent& Object, int Indent) {
        const std::string& name = Object.GetName();
        WriteLine(Indent, "object " + (name.empty() ? "" : name + ": ") + Object.ClassName());
    }

    void WriteProperties(const TPersistent& Object, const std::string& Prefix, int Indent) {
        for (const TPropInfo* prop : Object.ClassInfo().AllProperties()) {
            const std::string name = Prefix + prop->Name;
            if (prop->Kind == tkClass) {
                WriteNested(Object, *prop, name, Indent);
            } else if (prop->Kind == tkMethod) {
                const std::string* method = Object.BoundMethodName(prop->Name);
                if (method && prop->EventAssigned(Object)) WriteLine(Indent, name + " = " + *method);
            } else if (const TPropValue value = prop->Get(Object); IsStored(*prop, value)) {
                WriteLine(Indent, name + " = " + ValueText(*prop, value));
            }
        }
    }

    void WriteNested(const TPersistent& Holder, const TPropInfo& Prop, const std::string& Name, int Indent) {
        // GetObject only hands out the owned object; nothing is changed through it.
        const TPersistent* nested = Prop.GetObject(const_cast<TPersistent&>(Holder));
        if (!nested) return;
        WriteProperties(*nested, Name + ".", Indent);
        const auto* strings = dynamic_cast<const TStrings*>(nested);
        if (!strings || strings->Count() == 0) return;
        WriteLine(Indent, Name + ".Strings = (");
        for (int i = 0; i < strings->Count(); ++i)
            WriteLine(Indent + 1, QuoteString(strings->Get(i)) + (i + 1 == strings->Count() ? ")" : ""));
    }

    std::string FOut;
};

}  // namespace

void ReadComponentText(TComponent& Root, const std::string& Text) {
    TParser parser(Text);
    const THeader header = parser.ParseHeader();
    if (header.ClassName != Root.ClassName())
        throw EParserError(header.Line, Format("the form is a %s, not a %s", {header.ClassName, Root.ClassName()}));
    TFormReader(parser, Root).Read(header);
}

TComponent* CreateComponentFromText(const std::string& Text, TComponent* Owner) {
    TParser parser(Text);
    const THeader header = parser.ParseHeader();
    const TClassInfo& info = CreatableClass(header);
    std::unique_ptr<TComponent> root(Guarded(header.Line, [&] { return info.Create(Owner); }));
    TFormReader(parser, *root).Read(header);
    return root.release();
}

std::string WriteComponentText(const TComponent& Root) { return TFormWriter().Write(Root); }
