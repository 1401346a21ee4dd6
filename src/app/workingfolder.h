#pragma once

#include <QString>
#include <QStringList>

// Which folder the program works in. Started with a folder on the command line, or from a
// folder that holds the tables, it works there as it always has; started from the desktop's
// menu (no folder, and the current folder is usually the home folder), it works in a folder of
// its own under the user's data folder, made from the installed starter catalogue the first time.
namespace workingfolder {

// What the process was started with.
struct StartPlace
{
    QStringList arguments;   // after the program's name, with Qt's own options taken out
    QString currentFolder;   // absolute
    QStringList tablesHere;  // which of the table files the current folder holds
    QString xdgDataHome;     // $XDG_DATA_HOME, possibly empty
    QString home;            // $HOME, possibly empty
};

struct Choice
{
    QString folder;               // absolute and clean; empty when `error` says why there is none
    bool createIfMissing = false; // the per-user folder, made from the starter catalogue when missing
    QString error;
};

Choice choose(const StartPlace &place);

// The file names of the five tables.
QStringList tableFileNames();

// The per-user folder: "vantolia" in $XDG_DATA_HOME, or in ~/.local/share when that variable is
// unset, empty or not an absolute path. Empty when there is no absolute home folder either.
QString dataFolder(const QString &xdgDataHome, const QString &home);

// Makes `folder` a copy of `starter` (the tables and the help) when it does not exist or is an
// empty folder; an existing folder with anything in it is left exactly as it is. The copy is
// made in a hidden folder beside it and renamed into place when complete, so a run killed
// half-way never leaves a folder that looks made. Returns an empty text, or why it could not.
QString createFromStarter(const QString &folder, const QString &starter);

// Carries out a choice: makes the per-user folder when needed and makes the folder the current
// one, where the program finds its tables, settings and stored selections. Returns an empty
// text, or what went wrong, for the user.
QString enter(const Choice &choice, const QString &starter);

// The start place of this process: its current folder and environment.
StartPlace thisProcess(const QStringList &arguments);

} // namespace workingfolder
