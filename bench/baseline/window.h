// The baseline's X window: 1280 x 720, centred, black background, the same event mask as fxview's.
// It only reports when to quit (Escape or the close box); it has no other input.
#pragma once

#include <X11/Xlib.h>

namespace baseline {

struct XWindowState {
    Display* display = nullptr;
    Window window = 0;
    Atom deleteWindow = 0;
};

XWindowState OpenWindow(unsigned width, unsigned height);
void CloseWindow(XWindowState& w);

// Handles every queued event; true when one of them asks the program to quit.
bool DrainEvents(XWindowState& w);

} // namespace baseline
