// SPDX-License-Identifier: GPL-3.0-or-later
// Linked into each console test.

// Qt is not built for ThreadSanitizer: the hand-offs of its own thread pool
// (raster drawing) look like races. Ours still show, with our code on top.
extern "C" const char* __tsan_default_suppressions() {
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "race_top:libQt6Core.so.6\n"
           "race_top:libQt6Gui.so.6\n"
           "race_top:libQt6Widgets.so.6\n";
}
