#pragma once

#include <span>

class QFileDialog;
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

// What a file window of the toolkit is about, in the words a screen reader says.
struct FileDialogWords
{
    const char *files;      // what the file list shows
    const char *fileName;   // what the name box holds
    const char *fileType;   // what the type list chooses
    const char *accept;     // the name of the button that opens or saves
    const char *acceptDoes; // and what it does
    const char *cancelDoes; // what leaving without a file means
};
// Names the controls of the toolkit's own file window; nothing when the system's window is used.
void nameFileDialog(QFileDialog &dialog, const FileDialogWords &words);
