// SPDX-License-Identifier: GPL-3.0-or-later
#include "toolkit/ui/Clipbrd.h"

#include <QClipboard>
#include <QGuiApplication>

#include "toolkit/ui/StdCtrls.h"

UnicodeString ClipboardAsText() { return FromQString(QGuiApplication::clipboard()->text()); }

void SetClipboardAsText(const UnicodeString& Text) { QGuiApplication::clipboard()->setText(ToQString(Text)); }
