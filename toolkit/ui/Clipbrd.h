// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The desktop's clipboard.

#include "toolkit/core/SysUtils.h"

// The clipboard's text; empty when it holds none.
UnicodeString ClipboardAsText();
void SetClipboardAsText(const UnicodeString& Text);
