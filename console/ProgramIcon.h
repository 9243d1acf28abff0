// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The program's icon, drawn by scripts/make-icon.py: the same artwork as the
// Windows resource and the desktop's icon theme, built in at every size.

#include <QIcon>

QIcon ProgramIcon();
