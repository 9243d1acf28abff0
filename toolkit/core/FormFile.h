// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The text form file: a root component with its owned components, nested
// `object Name: TClass ... end` blocks, and their stored published properties.

#include <string>

#include "toolkit/core/Classes.h"

// A malformed form file. The message starts with "Line N: ".
class EParserError : public Exception {
public:
    EParserError(int Line, const AnsiString& Problem);
    int Line() const { return FLine; }

private:
    int FLine;
};

// Loads a form into an existing root. The header must name the root's own
// class; the root takes the header's name. Every object stays in the loading
// state until the whole file has been read; then Loaded() runs on each object
// created by the read, in creation order, and on the root last. On failure the
// objects this read created are deleted (their fields cleared), the root
// leaves the loading state without Loaded(), and EParserError is raised.
void ReadComponentText(TComponent& Root, const std::string& Text);

// Creates the root by the header's class name, owned by Owner, and loads it.
// On failure nothing of it is left.
TComponent* CreateComponentFromText(const std::string& Text, TComponent* Owner);

// Writes the root and the components it owns (in creation order, one level
// below the root) with the values that differ from their declared defaults.
std::string WriteComponentText(const TComponent& Root);
