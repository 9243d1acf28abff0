// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The object model of the toolkit: TObject, TPersistent, TComponent, TStrings.

#include <string>
#include <vector>

#include "toolkit/core/SysUtils.h"
#include "toolkit/core/TypInfo.h"

class TObject {
public:
    virtual ~TObject() = default;
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;

    static const TClassInfo& StaticClassInfo();
    virtual const TClassInfo& ClassInfo() const;
    const std::string& ClassName() const { return ClassInfo().Name; }
    bool InheritsFrom(const TClassInfo& Info) const { return ClassInfo().InheritsFrom(Info); }
};

using TNotifyEvent = std::function<void(TObject* Sender)>;

class TPersistent : public TObject {
    OSTRA_CLASSINFO()
public:
    // Copies Source into this object. The default asks Source to copy itself
    // (AssignTo); an object that neither side knows raises EConvertError
    // "Cannot assign a %s to a %s" and changes nothing.
    virtual void Assign(const TPersistent* Source);

    // The published method a form file bound to an event property, for writing it back.
    const std::string* BoundMethodName(const std::string& PropName) const;
    void SetBoundMethodName(const std::string& PropName, std::string MethodName);

protected:
    virtual void AssignTo(TPersistent* Dest) const;

private:
    std::vector<std::pair<std::string, std::string>> FBoundMethods;
};

class TComponent : public TPersistent {
    OSTRA_CLASSINFO()
public:
    explicit TComponent(TComponent* AOwner);
    // Frees every owned component, the last created first.
    ~TComponent() override;

    TComponent* GetOwner() const { return FOwner; }
    const AnsiString& GetName() const { return FName; }
    void SetName(const AnsiString& Value) { FName = Value; }

    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TComponent* Components(int Index) const { return FComponents.at(static_cast<std::size_t>(Index)); }
    TComponent* FindComponent(const AnsiString& AName) const;

    // True while a form file is being read into this component.
    bool Loading() const { return FLoading; }
    void BeginLoading() { FLoading = true; }
    // Called once the whole form file has been read; ends the loading state.
    virtual void Loaded() { FLoading = false; }
    // The object a form file nests this one in (a window control places itself there).
    virtual void SetParentComponent(TComponent* /*Parent*/) {}

private:
    void InsertComponent(TComponent* Child);
    void RemoveComponent(TComponent* Child);

    TComponent* FOwner;
    AnsiString FName;
    std::vector<TComponent*> FComponents;
    bool FLoading = false;
};

// A list of 8-bit strings; the abstract base lets a caller hand in any list.
class TStrings : public TPersistent {
    OSTRA_CLASSINFO()
public:
    virtual int Count() const = 0;
    virtual AnsiString Get(int Index) const = 0;
    virtual void Clear() = 0;
    virtual int Add(const AnsiString& S) = 0;
    AnsiString operator[](int Index) const { return Get(Index); }
    void Assign(const TPersistent* Source) override;
};

class TStringList : public TStrings {
    OSTRA_CLASSINFO()
public:
    int Count() const override { return static_cast<int>(FItems.size()); }
    AnsiString Get(int Index) const override { return FItems.at(static_cast<std::size_t>(Index)); }
    void Clear() override { FItems.clear(); }
    // With Sorted, a new string goes to its place in byte order.
    int Add(const AnsiString& S) override;
    bool GetSorted() const { return FSorted; }
    void SetSorted(bool Value);

private:
    std::vector<AnsiString> FItems;
    bool FSorted = false;
};
