// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The system's own colour lookup on Windows. It lives in a source file of its
// own because <windows.h> declares a GetSysColor of its own.

#include <cstdint>

int32_t PlatformSysColor(int Index);
