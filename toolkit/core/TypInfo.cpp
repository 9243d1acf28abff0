// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/TypInfo.h"

#include <map>
#include <mutex>

int TEnumTypeInfo::OrdinalOf(const std::string& Member) const {
    for (std::size_t i = 0; i < Names.size(); ++i)
        if (Names[i] == Member) return static_cast<int>(i);
    return -1;
}

bool TClassInfo::InheritsFrom(const TClassInfo& Other) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        if (c == &Other) return true;
    return false;
}

const TPropInfo* TClassInfo::FindProperty(const std::string& PropName) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        for (const TPropInfo& p : c->Properties)
            if (p.Name == PropName) return &p;
    return nullptr;
}

std::vector<const TPropInfo*> TClassInfo::AllProperties() const {
    std::vector<const TPropInfo*> result = Parent ? Parent->AllProperties() : std::vector<const TPropInfo*>{};
    for (const TPropInfo& p : Properties) result.push_back(&p);
    return result;
}

const TMethodInfo* TClassInfo::FindMethod(const std::string& MethodName) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        for (const TMethodInfo& m : c->Methods)
            if (m.Name == MethodName) return &m;
    return nullptr;
}

const TFieldInfo* TClassInfo::FindField(const std::string& FieldName) const {
    for (const TClassInfo* c = this; c; c = c->Parent)
        for (const TFieldInfo& f : c->Fields)
            if (f.Name == FieldName) return &f;
    return nullptr;
}

namespace {

struct TClassRegistry {
    std::mutex Lock;
    std::map<std::string, const TClassInfo*> Classes;
};

TClassRegistry& Registry() {
    static TClassRegistry registry;
    return registry;
}

}  // namespace

void RegisterClass(const TClassInfo& Info) {
    std::lock_guard guard(Registry().Lock);
    Registry().Classes[Info.Name] = &Info;
}

const TClassInfo* FindClass(const std::string& ClassName) {
    std::lock_guard guard(Registry().Lock);
    auto it = Registry().Classes.find(ClassName);
    return it == Registry().Classes.end() ? nullptr : it->second;
}
