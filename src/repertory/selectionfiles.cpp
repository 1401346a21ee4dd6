#include "selectionfiles.h"

#include "store/codepage.h"

#include "store/collation.h"
#include "store/error.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QtEndian>

#include <algorithm>
#include <unordered_set>

namespace repertory {
namespace {

constexpr qsizetype kRecordSize = 4;
constexpr qint64 kChunkSize = 64 * 1024;

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

void saveKeys(const QString &path, const std::vector<qint32> &keys)
{
    const QString folder = QFileInfo(path).path();
    if (!QDir().mkpath(folder))
        throw store::Error(QStringLiteral("No se pudo crear la carpeta %1").arg(folder));
    // The keys go to a new file beside the old one, which is renamed over it once complete.
    // Unbuffered, and written until every byte is taken: a buffered write that fails when the
    // buffer is flushed, or a short write, is not always reported by commit().
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw store::Error(QStringLiteral("No se pudo crear el archivo %1: %2").arg(path, file.errorString()));
    const QByteArray bytes = encodeKeys(keys);
    for (qint64 written = 0; written < bytes.size();) {
        const qint64 n = file.write(bytes.constData() + written, bytes.size() - written);
        if (n <= 0) {
            const QString reason = file.errorString();
            file.cancelWriting();
            throw store::Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(path, reason));
        }
        written += n;
    }
    if (!file.commit())
        throw store::Error(QStringLiteral("No se pudo escribir el archivo %1: %2").arg(path, file.errorString()));
}

KeysRead readKeys(const QString &path)
{
    KeysRead result;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        result.error = QStringLiteral("No se pudo abrir el archivo %1: %2").arg(path, file.errorString());
        return result;
    }
    QByteArray bytes;
    for (;;) {
        const QByteArray chunk = file.read(kChunkSize);
        if (chunk.isEmpty()) {
            if (file.error() != QFileDevice::NoError)
                result.error = QStringLiteral("No se pudo leer el archivo %1: %2").arg(path, file.errorString());
            break;
        }
        bytes += chunk;
    }
    result.keys = decodeKeys(bytes);
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

QStringList listFiles(const QString &folder)
{
    if (!QDir().mkpath(folder))
        throw store::Error(QStringLiteral("No se pudo crear la carpeta %1").arg(folder));
    const QString extension = QStringLiteral(".dat");
    const QStringList entries =
        QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Unsorted);
    QStringList names;
    for (const QString &entry : entries) {
        if (!entry.endsWith(extension, Qt::CaseInsensitive) || entry.startsWith(u'{'))
            continue;
        const QString name = entry.chopped(extension.size());
        // ".Dat" alone would be an empty name, which cannot be chosen or saved.
        if (!name.isEmpty())
            names << name;
    }
    std::sort(names.begin(), names.end(), listsBefore);
    return names;
}

QString nameRefusal(const QString &name)
{
    if (name.isEmpty())
        return QStringLiteral("Escriba el nombre con el que se guardará el repertorio");
    if (name.contains(u'/') || name.contains(u'\\'))
        return QStringLiteral("El nombre del repertorio no puede contener los caracteres / ni \\");
    if (name.contains(QStringLiteral("..")))
        return QStringLiteral("El nombre del repertorio no puede contener dos puntos seguidos (..)");
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
    if (!QFileInfo::exists(path))
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw store::Error(QStringLiteral("No se pudo abrir el archivo %1: %2").arg(path, file.errorString()));
    const QByteArray contents = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw store::Error(QStringLiteral("No se pudo leer el archivo %1: %2").arg(path, file.errorString()));
    return parsePatient(contents);
}

} // namespace repertory
