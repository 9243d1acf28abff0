// SPDX-License-Identifier: GPL-3.0-or-later
#include "tests/support/Process.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dirent.h>
#endif

#include "toolkit/core/Thread.h"

bool WaitUntil(const std::function<bool()>& Condition, std::chrono::milliseconds Deadline) {
    const auto end = std::chrono::steady_clock::now() + Deadline;
    while (!Condition()) {
        if (std::chrono::steady_clock::now() >= end) return Condition();
        CheckSynchronize(5);
    }
    return true;
}

#ifdef _WIN32
int OpenDescriptorCount() {
    DWORD count = 0;
    GetProcessHandleCount(GetCurrentProcess(), &count);
    return static_cast<int>(count);
}

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

std::string WineCodePageDeviation() {
    if (GetACP() == CP_UTF8 || !RunningUnderWine()) return {};
    return "Wine deviation: the manifest asks for UTF-8 as the ANSI code page, which Windows honours; "
           "Wine keeps code page " + std::to_string(GetACP()) + ", so UTF-8 bytes decode as that code page";
}
#else
int OpenDescriptorCount() {
    int count = 0;
    if (DIR* dir = opendir("/proc/self/fd")) {
        while (readdir(dir)) ++count;
        closedir(dir);
    }
    return count;
}

bool RunningUnderWine() { return false; }

std::string WineCodePageDeviation() { return {}; }
#endif
