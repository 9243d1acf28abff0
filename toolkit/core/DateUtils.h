// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Date and time as text in the user's formats (the platform's locale settings).

#include <ctime>

#include "toolkit/core/SysUtils.h"

// The user's short date format, e.g. 09/12/2016.
AnsiString DateToStr(std::time_t Time);
// The user's long time format, e.g. 14:05:33.
AnsiString TimeToStr(std::time_t Time);
