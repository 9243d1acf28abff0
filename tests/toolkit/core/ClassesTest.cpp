// SPDX-License-Identifier: GPL-3.0-or-later
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "toolkit/core/Classes.h"

namespace {

class TFoo : public TPersistent {
    OSTRA_CLASSINFO()
public:
    int Value = 1;
};
const TClassInfo& TFoo::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TFoo>("TFoo", &TPersistent::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TFoo)

// Copies from another TBar itself, and from a TBaz because TBaz knows how.
class TBar : public TPersistent {
    OSTRA_CLASSINFO()
public:
    int Value = 2;
    void Assign(const TPersistent* Source) override {
        if (const auto* bar = dynamic_cast<const TBar*>(Source)) {
            Value = bar->Value;
            return;
        }
        TPersistent::Assign(Source);
    }
};
const TClassInfo& TBar::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TBar>("TBar", &TPersistent::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TBar)

class TBaz : public TPersistent {
    OSTRA_CLASSINFO()
public:
    int Value = 3;

protected:
    void AssignTo(TPersistent* Dest) const override {
        if (auto* bar = dynamic_cast<TBar*>(Dest)) {
            bar->Value = Value;
            return;
        }
        TPersistent::AssignTo(Dest);
    }
};
const TClassInfo& TBaz::StaticClassInfo() {
    static const TClassInfo info = TClassInfoBuilder<TBaz>("TBaz", &TPersistent::StaticClassInfo()).Build();
    return info;
}
OSTRA_CLASSINFO_IMPL(TBaz)

// ---- Assign -------------------------------------------------------------------

TEST(CoreAssignTest, CopiesWhenEitherSideKnowsTheOther) {
    TBar bar, other;
    other.Value = 7;
    bar.Assign(&other);
    EXPECT_EQ(bar.Value, 7);
    TBaz baz;
    bar.Assign(&baz);
    EXPECT_EQ(bar.Value, 3);
}

TEST(CoreAssignTest, AnUnknownOrMissingSourceFailsAndChangesNothing) {
    TBar bar;
    TFoo foo;
    TBaz baz;
    const std::vector<std::pair<const TPersistent*, std::string>> cases = {
        {&foo, "Cannot assign a TFoo to a TBar"},
        {nullptr, "Cannot assign a nil to a TBar"},
    };
    for (const auto& [source, message] : cases) {
        try {
            bar.Assign(source);
            ADD_FAILURE() << message << ": no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), message);
        }
        EXPECT_EQ(bar.Value, 2);
    }
    try {
        foo.Assign(&bar);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TBar to a TFoo");
    }
    EXPECT_THROW(baz.Assign(&foo), EConvertError);  // TBaz only copies into a TBar
    EXPECT_EQ(baz.Value, 3);
}

TEST(CoreAssignTest, StringsCopyFromStringsOnly) {
    TStringList source, dest;
    source.Add("a");
    source.Add("b");
    dest.Add("old");
    dest.Assign(&source);
    ASSERT_EQ(dest.Count(), 2);
    EXPECT_EQ(dest[1], "b");
    dest.Assign(&dest);
    EXPECT_EQ(dest.Count(), 2);

    TFoo foo;
    try {
        dest.Assign(&foo);
        ADD_FAILURE() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a TFoo to a TStringList");
    }
    EXPECT_EQ(dest.Count(), 2);
}

// ---- TComponent ---------------------------------------------------------------

// Records its destruction in a shared log.
class TLogged : public TComponent {
public:
    TLogged(TComponent* AOwner, std::string Name, std::vector<std::string>& Log) : TComponent(AOwner), FLog(Log) {
        SetName(std::move(Name));
    }
    ~TLogged() override { FLog.push_back(GetName()); }

private:
    std::vector<std::string>& FLog;
};

TEST(CoreComponentTest, AnOwnerDeletesWhatItOwnsTheLastCreatedFirst) {
    std::vector<std::string> log;
    {
        TLogged owner(nullptr, "owner", log);
        auto* a = new TLogged(&owner, "a", log);
        new TLogged(&owner, "b", log);
        new TLogged(a, "a1", log);
        ASSERT_EQ(owner.ComponentCount(), 2);
        EXPECT_EQ(owner.Components(0), a);
        EXPECT_EQ(a->GetOwner(), &owner);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"owner", "b", "a", "a1"}));
}

TEST(CoreComponentTest, AChildDeletedFirstLeavesItsOwner) {
    std::vector<std::string> log;
    {
        TLogged owner(nullptr, "owner", log);
        auto* a = new TLogged(&owner, "a", log);
        auto* b = new TLogged(&owner, "b", log);
        delete a;
        ASSERT_EQ(owner.ComponentCount(), 1);
        EXPECT_EQ(owner.Components(0), b);
        EXPECT_EQ(owner.FindComponent("a"), nullptr);
        EXPECT_EQ(owner.FindComponent("b"), b);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"a", "owner", "b"}));
}

TEST(CoreComponentTest, FindComponentNeverMatchesAnEmptyName) {
    TComponent owner(nullptr);
    TComponent unnamed(&owner);
    EXPECT_EQ(owner.FindComponent(""), nullptr);
    EXPECT_THROW(owner.Components(1), std::out_of_range);
}

TEST(CoreComponentTest, LoadingLastsFromBeginLoadingToLoaded) {
    TComponent c(nullptr);
    EXPECT_FALSE(c.Loading());
    c.BeginLoading();
    EXPECT_TRUE(c.Loading());
    c.Loaded();
    EXPECT_FALSE(c.Loading());
}

TEST(CorePersistentTest, BoundMethodNamesAreKeptPerPropertyAndReplaced) {
    TFoo foo;
    EXPECT_EQ(foo.BoundMethodName("OnClick"), nullptr);
    foo.SetBoundMethodName("OnClick", "First");
    foo.SetBoundMethodName("OnKey", "Key");
    foo.SetBoundMethodName("OnClick", "Second");
    EXPECT_EQ(*foo.BoundMethodName("OnClick"), "Second");
    EXPECT_EQ(*foo.BoundMethodName("OnKey"), "Key");
}

// ---- TStringList --------------------------------------------------------------

std::vector<std::string> Items(const TStrings& S) {
    std::vector<std::string> items;
    for (int i = 0; i < S.Count(); ++i) items.push_back(S[i]);
    return items;
}

TEST(CoreStringListTest, UnsortedAddsAtTheEnd) {
    TStringList list;
    EXPECT_EQ(list.Add("b"), 0);
    EXPECT_EQ(list.Add("a"), 1);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"b", "a"}));
    EXPECT_THROW(list.Get(2), std::out_of_range);
}

TEST(CoreStringListTest, SortedKeepsByteOrderAndReturnsThePlace) {
    TStringList list;
    list.Add("m");
    list.Add("B");
    list.Add("\xE9");
    list.SetSorted(true);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"B", "m", "\xE9"}));  // bytes above 127 sort last
    EXPECT_EQ(list.Add("a"), 1);
    EXPECT_EQ(list.Add("m"), 3);  // a duplicate goes after its equal
    EXPECT_EQ(list.Add(""), 0);
    EXPECT_EQ(Items(list), (std::vector<std::string>{"", "B", "a", "m", "m", "\xE9"}));

    list.SetSorted(false);
    EXPECT_EQ(list.Add("0"), 6);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}

}  // namespace
