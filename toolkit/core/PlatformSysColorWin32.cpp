// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/core/PlatformSysColor.h"

#include <windows.h>

int32_t PlatformSysColor(int Index) { return static_cast<int32_t>(::GetSysColor(Index)); }
