#pragma once

#include <span>

class QWidget;

// Spanish names and descriptions for a screen reader, for the controls of the windows the
// toolkit makes for us (file, print and preview windows): it names them in English, or not at
// all, when no translation of its own is installed.
struct SpokenName
{
    const char *key; // what finds the control: its object name, or its action's text
    const char *name;
    const char *description;
};

// Names every control under `window` whose object name is a key.
void nameByObjectName(QWidget &window, std::span<const SpokenName> names);
// Names every tool button under `window` whose action's text is a key: the toolkit gives the
// buttons of its tool bars no object names.
void nameByActionText(QWidget &window, std::span<const SpokenName> names);
// Names one control.
void nameControl(QWidget *control, const char *name, const char *description);
