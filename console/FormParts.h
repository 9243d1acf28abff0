#pragma once
// Reaching the window's parts from the files that add to it.

#include <QString>

#include "toolkit/ui/Forms.h"

class QMenu;

// The window's component of that name and class; the form file holds it.
template <class T>
T& FormPart(const TForm& Form, const char* Name) {
    auto* part = dynamic_cast<T*>(Form.FindComponent(Name));
    if (!part) throw Exception(AnsiString("The form file has no ") + Name);
    return *part;
}

// The menu of the window's menu bar with that title ("&File"), made on first
// use; menus stand in the order they were first asked for.
QMenu& ConsoleMenu(TForm& Form, const QString& Title);
