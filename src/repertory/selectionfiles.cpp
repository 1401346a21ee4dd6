#include "selectionfiles.h"

#include "store/codepage.h"
#include "store/collation.h"
#include "store/error.h"
#include "store/regularfile.h"
#include "store/reasons.h"
#include "store/wholefile.h"

#include <QDir>
#include <QtEndian>

#include <algorithm>
#include <unordered_set>

#include <dirent.h>
#include <sys/stat.h>

namespace repertory {
namespace {

constexpr qsizetype kRecordSize = 4;

QString joinedWithSeparators(std::initializer_list<QString> parts)
{
    return QStringList(parts).join(QDir::separator());
}

// Lines as the companion application's text files end them: CR LF, CR or LF. A break at the
// very end starts no further line.
QStringList splitLines(const QString &text)
{
    QStringList lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c != u'\r' && c != u'\n')
            continue;
        lines << text.mid(start, i - start);
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            ++i;
        start = i + 1;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

// Makes `folder` and whichever folders above it are missing.
void makeFolder(const QByteArray &folder)
{
    if (::mkdir(folder.constData(), 0777) == 0)
        return;
    int error = errno;
    if (error == ENOENT) {
        const qsizetype slash = folder.lastIndexOf('/');
        if (slash > 0) {
            makeFolder(folder.left(slash));
            if (::mkdir(folder.constData(), 0777) == 0)
                return;
            error = errno;
        }
    }
    struct stat info {};
    if (error == EEXIST && ::stat(folder.constData(), &info) == 0 && S_ISDIR(info.st_mode))
        return;
    const QString reason = error == EEXIST ? QStringLiteral("existe y no es una carpeta") : store::systemReason(error);
    throw store::Error(QStringLiteral("No se pudo crear la carpeta %1: %2").arg(store::shownPath(folder), reason));
}

} // namespace

QString repertoryFolder()
{
    return QStringLiteral("Repertorio");
}

QString repertoryPath(const QString &name)
{
    return joinedWithSeparators({repertoryFolder(), name + QStringLiteral(".Dat")});
}

QString patientPath(int number)
{
    return repertoryPath(QStringLiteral("{%1}").arg(number));
}

QString patientFilePath()
{
    return joinedWithSeparators({QStringLiteral(".."), QStringLiteral("Dorvek"), QStringLiteral("Usuario.$$$")});
}

QByteArray encodeKeys(const std::vector<qint32> &keys)
{
    QByteArray bytes(qsizetype(keys.size()) * kRecordSize, Qt::Uninitialized);
    char *p = bytes.data();
    for (const qint32 key : keys) {
        qToLittleEndian(key, p);
        p += kRecordSize;
    }
    return bytes;
}

std::vector<qint32> decodeKeys(const QByteArray &bytes)
{
    std::vector<qint32> keys;
    const qsizetype n = bytes.size() / kRecordSize;
    keys.reserve(std::size_t(n));
    for (qsizetype i = 0; i < n; ++i)
        keys.push_back(qFromLittleEndian<qint32>(bytes.constData() + i * kRecordSize));
    return keys;
}

void saveKeys(const QByteArray &path, const std::vector<qint32> &keys)
{
    const qsizetype slash = path.lastIndexOf('/');
    if (slash > 0)
        makeFolder(path.left(slash));
    store::saveWholeFile(path, encodeKeys(keys));
}

KeysRead readKeys(const QByteArray &path)
{
    KeysRead result;
    // One record more than the most allowed tells a file that holds too many.
    const qint64 limit = qint64(kMostKeys + 1) * kRecordSize;
    store::RegularFileRead file;
    try {
        file = store::readRegularFile(path, limit);
    } catch (const store::Error &e) {
        result.error = e.message();
        return result;
    }
    const QString shown = store::shownPath(path);
    switch (file.kind) {
    case store::RegularFileRead::Missing: result.missing = true; return result;
    case store::RegularFileRead::NotRegular:
        result.error = QStringLiteral("No se pudo abrir el archivo %1: %2").arg(shown, store::notRegularReason(path));
        return result;
    case store::RegularFileRead::Regular: break;
    }
    if (file.size >= limit || file.bytes.size() >= limit) {
        result.error = QStringLiteral("El archivo %1 no es una selección guardada: tiene más de un millón de claves")
                           .arg(shown);
        return result;
    }
    result.keys = decodeKeys(file.bytes);
    return result;
}

KeysToLoad keysToLoad(const std::vector<qint32> &stored, const std::function<bool(qint32)> &exists)
{
    KeysToLoad toLoad;
    std::unordered_set<qint32> seen;
    for (const qint32 key : stored) {
        if (!exists(key))
            continue;
        if (!seen.insert(key).second) {
            toLoad.repeated = key;
            break;
        }
        toLoad.keys.push_back(key);
    }
    return toLoad;
}

bool listsBefore(const QString &a, const QString &b)
{
    if (const int c = store::spanishCompare(a, b))
        return c < 0;
    if (const int c = a.compare(b, Qt::CaseInsensitive))
        return c < 0;
    return a < b;
}

QList<StoredFile> listFiles(const QString &folder)
{
    const QByteArray native = store::nativePath(folder);
    makeFolder(native);
    DIR *dir = ::opendir(native.constData());
    if (!dir)
        throw store::Error(QStringLiteral("No se pudo leer la carpeta %1: %2")
                               .arg(store::shownPath(native), store::systemReason(errno)));
    const QByteArray extension = QByteArrayLiteral(".dat");
    QList<StoredFile> files;
    // The names as the system holds them: a name that is not UTF-8 must still open.
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArray fileName(entry->d_name);
        if (fileName.size() <= extension.size() || fileName.startsWith('{')
            || fileName.right(extension.size()).toLower() != extension)
            continue;
        files.append({store::decodedName(fileName.chopped(extension.size())), fileName});
    }
    ::closedir(dir);
    std::sort(files.begin(), files.end(), [](const StoredFile &a, const StoredFile &b) {
        if (a.name != b.name)
            return listsBefore(a.name, b.name);
        return a.fileName < b.fileName;
    });
    return files;
}

QByteArray storedFilePath(const QString &folder, const StoredFile &file)
{
    return store::nativePath(folder) + '/' + file.fileName;
}

QString nameRefusal(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("Escriba el nombre con el que se guardará el repertorio");
    if (name.contains(u'/') || name.contains(u'\\'))
        return QStringLiteral("El nombre del repertorio no puede contener los caracteres / ni \\");
    // Only ".." as the whole name leads anywhere else; "caso..final" is a name like any other.
    if (name == QLatin1String(".."))
        return QStringLiteral("El nombre del repertorio no puede ser dos puntos (..)");
    if (name.startsWith(u'{'))
        return QStringLiteral("Los nombres que empiezan con { están reservados para los pacientes");
    if (std::any_of(name.begin(), name.end(), [](QChar c) { return c.unicode() < 0x20 || c.unicode() == 0x7F; }))
        return QStringLiteral("El nombre del repertorio no puede contener caracteres de control");
    return {};
}

std::optional<Patient> parsePatient(const QByteArray &contents)
{
    const QStringList lines = splitLines(codepage::fromWindows1252(contents));
    if (lines.size() < 2)
        return std::nullopt;
    bool ok = false;
    const int number = lines[0].trimmed().toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return Patient{number, lines[1]};
}

std::optional<Patient> readPatient(const QString &path)
{
    const QByteArray native = store::nativePath(path);
    const store::RegularFileRead file = store::readRegularFile(native, kPatientFileBytes);
    switch (file.kind) {
    case store::RegularFileRead::Missing: return std::nullopt;
    case store::RegularFileRead::NotRegular:
        throw store::Error(QStringLiteral("No se pudo abrir el archivo %1: %2")
                               .arg(store::shownPath(native), store::notRegularReason(native)));
    case store::RegularFileRead::Regular: break;
    }
    return parsePatient(file.bytes);
}

} // namespace repertory
