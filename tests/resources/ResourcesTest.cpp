// SPDX-License-Identifier: GPL-3.0-or-later
// The Windows program's icon and manifest, linked into this test as they will
// be into the program, read back through the resource calls the shell and the
// loader use.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/Process.h"
#include "toolkit/core/SysUtils.h"

namespace {

#pragma pack(push, 2)
// One entry of an icon group resource.
struct TGroupIconEntry {
    BYTE Width;
    BYTE Height;
    BYTE ColorCount;
    BYTE Reserved;
    WORD Planes;
    WORD BitCount;
    DWORD BytesInRes;
    WORD Id;
};
#pragma pack(pop)

std::string ResourceBytes(LPCSTR Type, LPCSTR Name) {
    const HRSRC found = FindResourceA(nullptr, Name, Type);
    if (!found) return {};
    const HGLOBAL loaded = LoadResource(nullptr, found);
    return std::string(static_cast<const char*>(LockResource(loaded)), SizeofResource(nullptr, found));
}

TEST(ProgramResources, TheIconHoldsSixImagesOf32BitsWithTheLargeOnesAsPng) {
    const std::string group = ResourceBytes(RT_GROUP_ICON, MAKEINTRESOURCEA(1));
    ASSERT_GE(group.size(), 6u);
    const WORD count = *reinterpret_cast<const WORD*>(group.data() + 4);
    ASSERT_EQ(count, 6);
    ASSERT_EQ(group.size(), 6 + count * sizeof(TGroupIconEntry));
    std::vector<int> sides;
    for (WORD i = 0; i < count; ++i) {
        const auto* entry = reinterpret_cast<const TGroupIconEntry*>(group.data() + 6 + i * sizeof(TGroupIconEntry));
        const int side = entry->Width == 0 ? 256 : entry->Width;
        sides.push_back(side);
        EXPECT_EQ(entry->BitCount, 32) << side;
        const std::string image = ResourceBytes(RT_ICON, MAKEINTRESOURCEA(entry->Id));
        ASSERT_EQ(image.size(), entry->BytesInRes);
        EXPECT_EQ(image.starts_with("\x89PNG"), side == 256) << "image of " << side << " pixels";
    }
    EXPECT_EQ(sides, (std::vector<int>{16, 32, 64, 128, 256, 256}));
}

TEST(ProgramResources, EverySizeLoadsAsAnIcon) {
    for (const int side : {16, 32, 48, 64, 128, 256}) {
        const HICON icon = static_cast<HICON>(
            LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(1), IMAGE_ICON, side, side, LR_DEFAULTCOLOR));
        ASSERT_NE(icon, nullptr) << side << " pixels, error " << GetLastError();
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bitmap{};
        GetObjectW(info.hbmColor, sizeof bitmap, &bitmap);
        EXPECT_EQ(bitmap.bmWidth, side);
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
        DestroyIcon(icon);
    }
}

TEST(ProgramResources, TheManifestAsksForThemesPerMonitorScalingUtf8AndNoElevation) {
    const std::string manifest = ResourceBytes(RT_MANIFEST, MAKEINTRESOURCEA(1));
    for (const char* part : {"name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
                             "<requestedExecutionLevel level=\"asInvoker\" uiAccess=\"false\"/>", ">True/PM</dpiAware>",
                             ">UTF-8</activeCodePage>"})
        EXPECT_NE(manifest.find(part), std::string::npos) << part;
}

// The engine converts through the ANSI code page, which the manifest makes UTF-8.
TEST(ProgramResources, TheAnsiCodePageIsUtf8) {
    if (const std::string deviation = WineCodePageDeviation(); !deviation.empty()) GTEST_SKIP() << deviation;
    EXPECT_EQ(GetACP(), static_cast<UINT>(CP_UTF8));
    EXPECT_EQ(AnsiToUnicode("\xe2\x82\xac"), u"\u20ac");
}

}  // namespace
