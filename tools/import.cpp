#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "csvreader.h"
#include "fieldtext.h"
#include "filesystem.h"
#include "picture.h"
#include "reasons.h"
#include "store/codepage.h"
#include "cataloguerows.h"
#include "tablefolder.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <optional>
#include <unordered_set>
#include <vector>

namespace tabletool {
namespace {

// Far beyond any photo of a flower; a larger file is not read at all.
constexpr qint64 kMaxPhotoBytes = 64 * 1024 * 1024;

using Flower = FlowerRow;
using Symptom = SymptomRow;
using Link = LinkRow;

// An optionally signed decimal integer, nothing else: no blanks, no decimals, no exponent.
std::optional<qint64> parseInteger(const QString &text, bool allowSign)
{
    qsizetype i = 0;
    bool negative = false;
    if (allowSign && !text.isEmpty() && (text[0] == QLatin1Char('-') || text[0] == QLatin1Char('+'))) {
        negative = text[0] == QLatin1Char('-');
        i = 1;
    }
    if (i == text.size())
        return std::nullopt;
    qint64 value = 0;
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
        if (value > qint64(std::numeric_limits<qint32>::max()) + 1)
            return std::nullopt;
    }
    return negative ? -value : value;
}

// One CSV file being read: its header is checked on opening, and every fault names the row.
class CsvInput
{
public:
    CsvInput(const QString &csvFolder, const QString &name, const QStringList &header)
        : m_csv(QDir(csvFolder).filePath(name), name), m_header(header)
    {
        if (!m_csv.next(m_row))
            throw CsvError(name, 1, QStringLiteral("el archivo está vacío; la primera línea debe ser «%1»")
                                        .arg(header.join(QLatin1Char(','))));
        if (m_row.fields != header)
            fail(QStringLiteral("la cabecera debe ser «%1» y es %2")
                     .arg(header.join(QLatin1Char(',')), quoted(m_row.fields.join(QLatin1Char(',')))));
    }

    bool next()
    {
        if (!m_csv.next(m_row))
            return false;
        if (m_row.fields.size() != m_header.size())
            fail(QStringLiteral("la fila tiene %1 campos y deben ser %2 (%3)")
                     .arg(m_row.fields.size())
                     .arg(m_header.size())
                     .arg(m_header.join(QLatin1Char(','))));
        return true;
    }

    int line() const { return m_row.line; }
    const QString &field(int i) const { return m_row.fields[i]; }

    [[noreturn]] void fail(const QString &reason) const { throw CsvError(m_csv.name(), m_row.line, reason); }

    // A key that must not appear twice in the file; `repeated` says so, with %1 for the key.
    qint32 uniqueKey(int i, std::unordered_set<qint32> &seen, const char *repeated)
    {
        const qint32 k = key(i);
        if (!seen.insert(k).second)
            fail(QString::fromUtf8(repeated).arg(k));
        return k;
    }

    qint32 key(int i)
    {
        const std::optional<qint64> n = parseInteger(field(i), false);
        if (!n || *n < 1 || *n > std::numeric_limits<qint32>::max())
            fail(QStringLiteral("%1 %2 no es un número entero positivo de 32 bits (de 1 a 2147483647)")
                     .arg(m_header[i], quoted(field(i))));
        return qint32(*n);
    }

    std::optional<qint32> optionalInteger(int i)
    {
        if (field(i).isEmpty())
            return std::nullopt;
        const std::optional<qint64> n = parseInteger(field(i), true);
        if (!n || *n < std::numeric_limits<qint32>::min() || *n > std::numeric_limits<qint32>::max())
            fail(QStringLiteral("%1 %2 no es un número entero de 32 bits").arg(m_header[i], quoted(field(i))));
        return qint32(*n);
    }

    // A field's text, checked against what the table can hold; `size` 0 for a memo.
    QString text(int i, int size)
    {
        QString t = field(i);
        const QString &name = m_header[i];
        const bool memo = size == 0;
        if (const qsizetype p = controlCharacter(t, memo); p >= 0)
            fail(t[p] == QLatin1Char('\n') || t[p] == QLatin1Char('\r')
                     ? QStringLiteral("el campo %1 no admite saltos de línea").arg(name)
                     : QStringLiteral("el campo %1 contiene un carácter de control (%2)")
                           .arg(name, describeCharacter(t, p)));
        if (const qsizetype p = codepage::firstOutside(t); p >= 0)
            fail(QStringLiteral("el campo %1 contiene %2, que no se puede guardar: los textos solo "
                                "admiten los caracteres de Windows-1252")
                     .arg(name, describeCharacter(t, p)));
        if (!memo && t.size() > size)
            fail(QStringLiteral("el campo %1 tiene %2 caracteres y admite %3").arg(name).arg(t.size()).arg(size));
        if (memo && t.contains(QLatin1Char('\r'))) {
            t.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
            t.replace(QLatin1Char('\r'), QLatin1Char('\n'));
        }
        return t;
    }

    // The picture named by a field, as PNG bytes; empty when the field is.
    QByteArray photo(int i, const QString &csvFolder)
    {
        const QString name = field(i);
        if (name.isEmpty())
            return {};
        QByteArray bytes;
        try {
            InputFile file(QDir(csvFolder).filePath(name), name);
            bytes = file.readAll(kMaxPhotoBytes);
        } catch (const FileError &e) {
            fail(e.missing() ? QStringLiteral("no se encuentra la foto %1").arg(quoted(name))
                             : QStringLiteral("no se puede leer la foto %1: %2").arg(quoted(name), e.reason()));
        }
        QImageReader::ImageReaderError error = QImageReader::UnknownError;
        const QByteArray png = asPng(bytes, &error);
        if (png.isEmpty())
            fail(QStringLiteral("la foto %1 no es una imagen que el programa sepa leer: %2")
                     .arg(quoted(name), imageReason(error)));
        return png;
    }

private:
    CsvReader m_csv;
    QStringList m_header;
    CsvRow m_row;
};

const QStringList kFloresHeader{QStringLiteral("Clave"), QStringLiteral("Tipo"),  QStringLiteral("Nom1"),
                                QStringLiteral("Nom2"),  QStringLiteral("Nom3"),  QStringLiteral("Memo1"),
                                QStringLiteral("Memo2"), QStringLiteral("Memo3"), QStringLiteral("Foto")};
const QStringList kSintomasHeader{QStringLiteral("Clave"), QStringLiteral("Nom"), QStringLiteral("Orden")};
const QStringList kRelHeader{QStringLiteral("KFlor"), QStringLiteral("KSint"), QStringLiteral("OSint")};

std::vector<Flower> readFlowers(const QString &csvFolder)
{
    const int nameSize = catalogue::floresDef().fields[2].size;
    std::vector<Flower> flowers;
    std::unordered_set<qint32> keys;
    CsvInput csv(csvFolder, QStringLiteral("Flores.csv"), kFloresHeader);
    while (csv.next()) {
        Flower f;
        f.key = csv.uniqueKey(0, keys, "la flor %1 está repetida");
        f.system = csv.field(1);
        if (!isSystemNumber(f.system))
            csv.fail(QStringLiteral("Tipo %1 no es un sistema de flores: debe ser un número de 1 a 13")
                         .arg(quoted(f.system)));
        for (int n = 0; n < 3; ++n)
            f.names[n] = csv.text(2 + n, nameSize);
        for (int n = 0; n < 3; ++n)
            f.memos[n] = csv.text(5 + n, 0);
        f.photo = csv.photo(8, csvFolder);
        flowers.push_back(std::move(f));
    }
    return flowers;
}

std::vector<Symptom> readSymptoms(const QString &csvFolder, std::unordered_set<qint32> &keys)
{
    const int nomSize = catalogue::sintomasDef().fields[1].size;
    std::vector<Symptom> symptoms;
    CsvInput csv(csvFolder, QStringLiteral("Sintomas.csv"), kSintomasHeader);
    while (csv.next()) {
        Symptom s;
        s.key = csv.uniqueKey(0, keys, "el síntoma %1 está repetido");
        s.name = csv.text(1, nomSize);
        s.order = csv.optionalInteger(2);
        symptoms.push_back(std::move(s));
    }
    return symptoms;
}

std::vector<Link> readLinks(const QString &csvFolder, const std::unordered_set<qint32> &flowers,
                            const std::unordered_set<qint32> &symptoms)
{
    const QString name = QStringLiteral("Rel.csv");
    std::vector<Link> links;
    std::vector<int> lines;
    // A fault in a row waits until the repeated links above it have been looked for, so that
    // the first fault in the file is the one reported.
    std::optional<CsvError> fault;
    try {
        CsvInput csv(csvFolder, name, kRelHeader);
        while (csv.next()) {
            Link l;
            l.flower = csv.key(0);
            l.symptom = csv.key(1);
            l.order = csv.optionalInteger(2);
            if (!flowers.count(l.flower))
                csv.fail(QStringLiteral("la flor %1 no existe").arg(l.flower));
            if (!symptoms.count(l.symptom))
                csv.fail(QStringLiteral("el síntoma %1 no existe").arg(l.symptom));
            links.push_back(l);
            lines.push_back(csv.line());
        }
    } catch (const CsvError &e) {
        if (e.file() != name)
            throw;
        fault = e;
    }

    // Pairs sorted with their rows: a repeated pair sits next to its first appearance.
    std::vector<std::pair<quint64, std::size_t>> pairs;
    pairs.reserve(links.size());
    for (std::size_t i = 0; i < links.size(); ++i)
        pairs.emplace_back(quint64(quint32(links[i].flower)) << 32 | quint32(links[i].symptom), i);
    std::sort(pairs.begin(), pairs.end());
    std::size_t repeated = links.size();
    std::size_t original = 0;
    for (std::size_t i = 1; i < pairs.size(); ++i)
        if (pairs[i].first == pairs[i - 1].first && pairs[i].second < repeated) {
            repeated = pairs[i].second;
            original = pairs[i - 1].second;
        }
    if (repeated < links.size())
        throw CsvError(name, lines[repeated],
                       QStringLiteral("el enlace de la flor %1 con el síntoma %2 está repetido (ya está en la línea %3)")
                           .arg(links[repeated].flower)
                           .arg(links[repeated].symptom)
                           .arg(lines[original]));
    if (fault)
        throw *fault;
    return links;
}

} // namespace

void importCsv(const QString &csvFolder, const QString &folder)
{
    withSpanishErrors([&] {
        recoverInterruptedInstall(folder);
        ensureNoTables(folder);
        if (!QFileInfo(csvFolder).isDir())
            throw store::Error(QFileInfo::exists(csvFolder)
                                   ? QStringLiteral("%1 no es una carpeta").arg(QDir::toNativeSeparators(csvFolder))
                                   : QStringLiteral("No se encuentra la carpeta %1").arg(csvFolder));

        const std::vector<Flower> flowers = readFlowers(csvFolder);
        std::unordered_set<qint32> flowerKeys;
        for (const Flower &f : flowers)
            flowerKeys.insert(f.key);
        std::unordered_set<qint32> symptomKeys;
        const std::vector<Symptom> symptoms = readSymptoms(csvFolder, symptomKeys);
        const std::vector<Link> links = readLinks(csvFolder, flowerKeys, symptomKeys);

        NewTableFolder tables(folder);
        fillCatalogue(tables, flowers, symptoms, links);
        tables.install();
    });
}

} // namespace tabletool
