#pragma once

#include <QString>
#include <QStringList>

// A layer under SQLite, for the tests, that fails as disks do: it opens chosen files read only,
// as a read-only file or disk would (which running as root cannot show), and it fails one
// chosen write, sync or truncation of any file, as a failing or full disk would, half-way
// through whatever SQLite was doing. While an object lives it is SQLite's default file system
// for every connection opened from then on; only one may live at a time.
class FaultyFiles
{
public:
    FaultyFiles();
    ~FaultyFiles();
    FaultyFiles(const FaultyFiles &) = delete;
    FaultyFiles &operator=(const FaultyFiles &) = delete;

    // Files whose name is this (a bare file name) open read only from now on.
    void openReadOnly(const QString &fileName);
    // No new file can be made in `folder` from now on, as in a folder the user may not write
    // (which running as root cannot show either); the files already there open as before.
    void createNothingIn(const QString &folder);
    // The n-th write, sync or truncation from now on fails, with a disk error; 0 for none.
    // Those after it succeed again, so that SQLite can roll back.
    void failAt(int n);
    // Just before the n-th write, sync, truncation or deletion of a file from now on, the files
    // of `folder` are copied into `into` as they stand: what a kill at that moment leaves. 0 for
    // none.
    void copyAt(int n, const QString &folder, const QString &into);
    // Writes, syncs and truncations since the last failAt.
    int writesSeen() const;
    // Whether the chosen one has come.
    bool hasFailed() const;
    bool hasCopied() const;
};
