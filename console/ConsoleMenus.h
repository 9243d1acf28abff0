// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The window's menu bar, shared by the parts that add to it. Its items take
// no key that the received area uses: menus open with Alt, and a Ctrl+letter
// shortcut never fires there, since the received area claims those keys.

#include <QString>

#include "toolkit/ui/Forms.h"

class QAction;
class QActionGroup;
class QMenu;

// The menu of the window's menu bar with that title ("&File"), made on first
// use; File, View and Port stand in that order, any other menu after them.
QMenu& ConsoleMenu(TForm& Form, const QString& Title);
// A new item of Menu that can be ticked.
QAction& AddCheckable(QMenu& Menu, const QString& Text, QActionGroup* Group = nullptr);
