#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdlib>

// The readers under test open files by name, as the program does: each input is written to a
// file of this process's own folder first.
inline QByteArray fuzzFile(const char *name, const QByteArray &bytes)
{
    static QTemporaryDir dir;
    const QString path = dir.filePath(QString::fromLatin1(name));
    QFile file(path);
    if (!dir.isValid() || !file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    return QFile::encodeName(path);
}
