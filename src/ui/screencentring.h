#pragma once

class QWidget;

// Places a window's client area in the middle of the screen that the user is working on: the
// screen of the active window, or else the primary screen. The frame is left out, since it
// is not known before the window shows.
void centreOnScreen(QWidget &window);
