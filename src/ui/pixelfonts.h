#pragma once

class QWidget;

// Forms state font sizes in points, but some windows are measured in pixels: every control of
// the window (the window included) whose form sets the dynamic property "pixelSize" gets its
// font at that many pixels. Called once, after the form is set up.
void applyPixelSizes(QWidget &window);
