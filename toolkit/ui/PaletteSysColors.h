// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// System colours taken from the running program's Qt palette.

#include "toolkit/core/Graphics.h"

// Button face, shadow and highlight, window and text colours from the current
// palette; other indexes, or no application yet, give the fixed table's value.
TColor PaletteSysColor(int Index);

// Makes GetSysColor use PaletteSysColor.
void InstallPaletteSysColors();
