// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/Classes.h"

#include <algorithm>

const TClassInfo& TObject::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TObject>("TObject", nullptr).Build();
    return info;
}
const TClassInfo& TObject::ClassInfo() const { return StaticClassInfo(); }

// ---- TPersistent ------------------------------------------------------------

const TClassInfo& TPersistent::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TPersistent>("TPersistent", &TObject::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TPersistent)

namespace {

[[noreturn]] void AssignError(const TPersistent* Source, const TPersistent& Dest) {
    const std::string sourceName = Source ? Source->ClassName() : "nil";
    throw EConvertError(Format("Cannot assign a %s to a %s", {sourceName, Dest.ClassName()}));
}

}  // namespace

void TPersistent::Assign(const TPersistent* Source) {
    if (!Source) AssignError(nullptr, *this);
    Source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent* Dest) const { AssignError(this, *Dest); }

const std::string* TPersistent::BoundMethodName(const std::string& PropName) const {
    for (const auto& [prop, method] : FBoundMethods)
        if (prop == PropName) return &method;
    return nullptr;
}

void TPersistent::SetBoundMethodName(const std::string& PropName, std::string MethodName) {
    for (auto& [prop, method] : FBoundMethods)
        if (prop == PropName) {
            method = std::move(MethodName);
            return;
        }
    FBoundMethods.emplace_back(PropName, std::move(MethodName));
}

// ---- TComponent -------------------------------------------------------------

const TClassInfo& TComponent::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TComponent>("TComponent", &TPersistent::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TComponent)

TComponent::TComponent(TComponent* AOwner) : FOwner(AOwner) {
    if (FOwner) FOwner->InsertComponent(this);
}

TComponent::~TComponent() {
    while (!FComponents.empty()) delete FComponents.back();  // each removes itself
    if (FOwner) FOwner->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const AnsiString& AName) const {
    for (TComponent* c : FComponents)
        if (!AName.empty() && c->FName == AName) return c;
    return nullptr;
}

void TComponent::InsertComponent(TComponent* Child) { FComponents.push_back(Child); }

void TComponent::RemoveComponent(TComponent* Child) {
    FComponents.erase(std::remove(FComponents.begin(), FComponents.end(), Child), FComponents.end());
}

// ---- TStrings ---------------------------------------------------------------

const TClassInfo& TStrings::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TStrings>("TStrings", &TPersistent::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TStrings)

void TStrings::Assign(const TPersistent* Source) {
    const auto* strings = dynamic_cast<const TStrings*>(Source);
    if (!strings) {
        TPersistent::Assign(Source);
        return;
    }
    if (strings == this) return;
    Clear();
    for (int i = 0; i < strings->Count(); ++i) Add(strings->Get(i));
}

const TClassInfo& TStringList::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TStringList>("TStringList", &TStrings::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TStringList)

int TStringList::Add(const AnsiString& S) {
    auto at = FSorted ? std::upper_bound(FItems.begin(), FItems.end(), S) : FItems.end();
    const auto index = at - FItems.begin();  // before the insert, which may reallocate
    FItems.insert(at, S);
    return static_cast<int>(index);
}

void TStringList::SetSorted(bool Value) {
    if (Value && !FSorted) std::stable_sort(FItems.begin(), FItems.end());
    FSorted = Value;
}
