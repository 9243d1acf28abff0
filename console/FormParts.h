// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reaching the window's parts from the files that add to it.

#include "toolkit/ui/Forms.h"

// The window's component of that name and class: a control the form file
// holds, or a part that FormCreate attached (such as "ReceivedViews").
template <class T>
T& FormPart(const TForm& Form, const char* Name) {
    auto* part = dynamic_cast<T*>(Form.FindComponent(Name));
    if (!part) throw Exception(AnsiString("The window has no ") + Name);
    return *part;
}
