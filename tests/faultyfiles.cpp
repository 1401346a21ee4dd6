#include "faultyfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

struct State
{
    sqlite3_vfs *real = nullptr;
    sqlite3_vfs vfs{};
    QStringList readOnly;
    QStringList closedFolders;
    int failAt = 0;
    int seen = 0;
    bool failed = false;
    int copyAt = 0;
    int moments = 0;
    QString copyFrom, copyInto;
    bool copied = false;
};

State *g_state = nullptr;

// A file of the real file system, wrapped.
struct File
{
    sqlite3_file base;
    sqlite3_file *real;
};

sqlite3_file *realOf(sqlite3_file *f)
{
    return reinterpret_cast<File *>(f)->real;
}

// Copies the folder when this moment is the one chosen: every write, sync, truncation and
// deletion is one.
void moment()
{
    ++g_state->moments;
    if (g_state->copyAt == 0 || g_state->moments != g_state->copyAt)
        return;
    const QDir from(g_state->copyFrom), into(g_state->copyInto);
    for (const QString &name : from.entryList(QDir::Files | QDir::Hidden))
        if (!QFile::copy(from.filePath(name), into.filePath(name)))
            qFatal("FaultyFiles: cannot copy %s", qPrintable(name));
    g_state->copied = true;
}

// Whether this write, sync or truncation is the one chosen to fail.
bool failsNow()
{
    moment();
    ++g_state->seen;
    if (g_state->failAt != 0 && g_state->seen == g_state->failAt) {
        g_state->failed = true;
        return true;
    }
    return false;
}

int fileClose(sqlite3_file *f)
{
    sqlite3_file *real = realOf(f);
    const int rc = real->pMethods ? real->pMethods->xClose(real) : SQLITE_OK;
    std::free(real);
    return rc;
}

int fileRead(sqlite3_file *f, void *buffer, int amount, sqlite3_int64 offset)
{
    return realOf(f)->pMethods->xRead(realOf(f), buffer, amount, offset);
}

int fileWrite(sqlite3_file *f, const void *buffer, int amount, sqlite3_int64 offset)
{
    if (failsNow())
        return SQLITE_IOERR_WRITE;
    return realOf(f)->pMethods->xWrite(realOf(f), buffer, amount, offset);
}

int fileTruncate(sqlite3_file *f, sqlite3_int64 size)
{
    if (failsNow())
        return SQLITE_IOERR_TRUNCATE;
    return realOf(f)->pMethods->xTruncate(realOf(f), size);
}

int fileSync(sqlite3_file *f, int flags)
{
    if (failsNow())
        return SQLITE_IOERR_FSYNC;
    return realOf(f)->pMethods->xSync(realOf(f), flags);
}

int fileSize(sqlite3_file *f, sqlite3_int64 *size)
{
    return realOf(f)->pMethods->xFileSize(realOf(f), size);
}

int fileLock(sqlite3_file *f, int level)
{
    return realOf(f)->pMethods->xLock(realOf(f), level);
}

int fileUnlock(sqlite3_file *f, int level)
{
    return realOf(f)->pMethods->xUnlock(realOf(f), level);
}

int fileCheckReservedLock(sqlite3_file *f, int *out)
{
    return realOf(f)->pMethods->xCheckReservedLock(realOf(f), out);
}

int fileControl(sqlite3_file *f, int op, void *arg)
{
    return realOf(f)->pMethods->xFileControl(realOf(f), op, arg);
}

int fileSectorSize(sqlite3_file *f)
{
    return realOf(f)->pMethods->xSectorSize(realOf(f));
}

int fileDeviceCharacteristics(sqlite3_file *f)
{
    return realOf(f)->pMethods->xDeviceCharacteristics(realOf(f));
}

// Version 1: no shared memory and no mapping, which a rollback journal does not need.
const sqlite3_io_methods kMethods = {
    1, fileClose, fileRead, fileWrite, fileTruncate, fileSync, fileSize, fileLock, fileUnlock,
    fileCheckReservedLock, fileControl, fileSectorSize, fileDeviceCharacteristics,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
};

int vfsOpen(sqlite3_vfs *, sqlite3_filename name, sqlite3_file *f, int flags, int *outFlags)
{
    auto *file = reinterpret_cast<File *>(f);
    file->base.pMethods = nullptr;
    file->real = static_cast<sqlite3_file *>(std::calloc(1, std::size_t(g_state->real->szOsFile)));
    if (!file->real)
        return SQLITE_NOMEM;
    if (name && (flags & SQLITE_OPEN_MAIN_DB)
        && g_state->readOnly.contains(QFileInfo(QString::fromUtf8(name)).fileName())) {
        flags &= ~(SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
        flags |= SQLITE_OPEN_READONLY;
    }
    int rc = SQLITE_OK;
    if (name && (flags & SQLITE_OPEN_CREATE) && !QFileInfo::exists(QString::fromUtf8(name))
        && g_state->closedFolders.contains(QFileInfo(QString::fromUtf8(name)).absolutePath()))
    {
        // As the system's own layer answers when open() says EACCES.
        errno = EACCES;
        rc = SQLITE_CANTOPEN;
    }
    else
        rc = g_state->real->xOpen(g_state->real, name, file->real, flags, outFlags);
    if (rc != SQLITE_OK) {
        if (file->real->pMethods)
            file->real->pMethods->xClose(file->real);
        std::free(file->real);
        file->real = nullptr;
        return rc;
    }
    file->base.pMethods = &kMethods;
    return SQLITE_OK;
}

int vfsDelete(sqlite3_vfs *, const char *name, int syncDir)
{
    moment();
    return g_state->real->xDelete(g_state->real, name, syncDir);
}

int vfsAccess(sqlite3_vfs *, const char *name, int flags, int *out)
{
    return g_state->real->xAccess(g_state->real, name, flags, out);
}

int vfsFullPathname(sqlite3_vfs *, const char *name, int size, char *out)
{
    return g_state->real->xFullPathname(g_state->real, name, size, out);
}

int vfsRandomness(sqlite3_vfs *, int n, char *out)
{
    return g_state->real->xRandomness(g_state->real, n, out);
}

int vfsSleep(sqlite3_vfs *, int microseconds)
{
    return g_state->real->xSleep(g_state->real, microseconds);
}

int vfsCurrentTime(sqlite3_vfs *, double *out)
{
    return g_state->real->xCurrentTime(g_state->real, out);
}

int vfsGetLastError(sqlite3_vfs *, int n, char *out)
{
    return g_state->real->xGetLastError(g_state->real, n, out);
}

int vfsCurrentTimeInt64(sqlite3_vfs *, sqlite3_int64 *out)
{
    return g_state->real->xCurrentTimeInt64(g_state->real, out);
}

} // namespace

FaultyFiles::FaultyFiles()
{
    if (g_state)
        qFatal("FaultyFiles: only one may live at a time");
    g_state = new State;
    g_state->real = sqlite3_vfs_find(nullptr);
    sqlite3_vfs &v = g_state->vfs;
    v.iVersion = 2;
    v.szOsFile = int(sizeof(File));
    v.mxPathname = g_state->real->mxPathname;
    v.zName = "faultyfiles";
    v.xOpen = vfsOpen;
    v.xDelete = vfsDelete;
    v.xAccess = vfsAccess;
    v.xFullPathname = vfsFullPathname;
    v.xRandomness = vfsRandomness;
    v.xSleep = vfsSleep;
    v.xCurrentTime = vfsCurrentTime;
    v.xGetLastError = vfsGetLastError;
    v.xCurrentTimeInt64 = vfsCurrentTimeInt64;
    sqlite3_vfs_register(&v, 1);
}

FaultyFiles::~FaultyFiles()
{
    sqlite3_vfs_unregister(&g_state->vfs);
    delete g_state;
    g_state = nullptr;
}

void FaultyFiles::openReadOnly(const QString &fileName)
{
    g_state->readOnly << fileName;
}

void FaultyFiles::createNothingIn(const QString &folder)
{
    g_state->closedFolders << QFileInfo(folder).absoluteFilePath();
}

void FaultyFiles::failAt(int n)
{
    g_state->failAt = n;
    g_state->seen = 0;
    g_state->failed = false;
}

void FaultyFiles::copyAt(int n, const QString &folder, const QString &into)
{
    g_state->copyAt = n;
    g_state->copyFrom = folder;
    g_state->copyInto = into;
    g_state->moments = 0;
    g_state->copied = false;
}

bool FaultyFiles::hasCopied() const
{
    return g_state->copied;
}

int FaultyFiles::writesSeen() const
{
    return g_state->seen;
}

bool FaultyFiles::hasFailed() const
{
    return g_state->failed;
}
