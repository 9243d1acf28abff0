// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Where an exception goes that escapes code run from the event loop (a paint,
// a mouse notification): Qt cannot let it through, so it is handed here.

#include <exception>
#include <functional>

// By default the message is written as a warning; the application object
// installs one that shows it to the user.
using TExceptionHandler = std::function<void(std::exception_ptr Error)>;
TExceptionHandler SetExceptionHandler(TExceptionHandler Handler);

// Runs Work and hands anything it throws to the installed handler.
void RunHandled(const std::function<void()>& Work);
