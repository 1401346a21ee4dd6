#include "tabletool.h"

#include "catalogue/tabledefinitions.h"
#include "paradoxtable.h"
#include "readonlyfile.h"
#include "store/codepage.h"
#include "fieldtext.h"
#include "filesystem.h"
#include "cataloguerows.h"
#include "tablefolder.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <thread>
#include <unordered_map>
#include <unistd.h>
#include <vector>

namespace tabletool {
namespace {

constexpr int kExamples = 5;

using Flower = FlowerRow;
using Symptom = SymptomRow;
using Link = LinkRow;

// The old folder's files, found whatever the case of their names: they come from Windows.
class OldFolder
{
public:
    explicit OldFolder(const QString &path) : m_dir(path)
    {
        if (!QFileInfo(path).isDir())
            throw store::Error(QStringLiteral("No se encuentra la carpeta %1").arg(QDir::toNativeSeparators(path)));
        m_entries = m_dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // The path of the entry called `name`; empty when there is none.
    QString find(const QString &name) const
    {
        QStringList found;
        for (const QString &entry : m_entries)
            if (entry.compare(name, Qt::CaseInsensitive) == 0)
                found << entry;
        if (found.size() > 1)
            throw store::Error(QStringLiteral("%1: la carpeta %2 tiene varios (%3); deje uno solo")
                                   .arg(name, QDir::toNativeSeparators(m_dir.path()), found.join(QStringLiteral(", "))));
        return found.isEmpty() ? QString() : m_dir.filePath(found.front());
    }

    QString table(const QString &name) const
    {
        const QString path = find(name);
        if (path.isEmpty())
            throw store::Error(QStringLiteral("%1: no está en la carpeta %2").arg(name, QDir::toNativeSeparators(m_dir.path())));
        return path;
    }

    QString blobFile(const QString &table) const { return find(QFileInfo(table).completeBaseName() + QStringLiteral(".MB")); }

private:
    QDir m_dir;
    QStringList m_entries;
};

enum class Kind { Integer, Text, Memo, Picture };

bool holds(Kind kind, quint8 type)
{
    switch (kind) {
    case Kind::Integer:
        return type == paradoxtype::kShort || type == paradoxtype::kLong || type == paradoxtype::kAutoIncrement
            || type == paradoxtype::kNumber;
    case Kind::Text: return type == paradoxtype::kAlpha;
    case Kind::Memo: return type == paradoxtype::kMemo;
    case Kind::Picture: return type == paradoxtype::kGraphic || type == paradoxtype::kBinary;
    }
    return false;
}

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::Integer: return QStringLiteral("un número entero");
    case Kind::Text: return QStringLiteral("alfanumérico");
    case Kind::Memo: return QStringLiteral("memo");
    case Kind::Picture: return QStringLiteral("gráfico");
    }
    return {};
}

// Where the program's fields are in an old table. Each must be there, of a type that holds it;
// the old table's other fields are reported, since their data stay behind.
std::vector<int> locateFields(const ParadoxTable &t, const std::vector<std::pair<QString, Kind>> &wanted, QStringList &notes)
{
    std::vector<int> at;
    for (const auto &[name, kind] : wanted) {
        const int i = t.fieldIndex(name);
        if (i < 0)
            t.fail(QStringLiteral("falta el campo %1").arg(name));
        const quint8 type = t.fields()[std::size_t(i)].type;
        if (!holds(kind, type))
            t.fail(QStringLiteral("el campo %1 es de tipo %2 y debería ser %3").arg(name, paradoxTypeName(type), kindName(kind)));
        at.push_back(i);
    }
    for (std::size_t i = 0; i < t.fields().size(); ++i)
        if (std::find(at.begin(), at.end(), int(i)) == at.end())
            notes << QStringLiteral("%1: el campo %2 (%3) no existe en el programa; sus datos no se traen")
                         .arg(t.fileName(), t.fields()[i].name, paradoxTypeName(t.fields()[i].type));
    return at;
}

// A positive key, never repeated in its table.
qint32 readKey(const ParadoxTable &t, int field, std::unordered_map<qint32, qint64> &rows)
{
    const std::optional<qint64> key = t.integer(field);
    if (!key)
        t.fail(QStringLiteral("la fila %1 no tiene Clave").arg(t.rowNumber()));
    if (*key < 1)
        t.fail(QStringLiteral("la fila %1 tiene Clave %2, y las claves deben ser positivas").arg(t.rowNumber()).arg(*key));
    const auto [it, added] = rows.emplace(qint32(*key), t.rowNumber());
    if (!added)
        t.fail(QStringLiteral("la Clave %1 está repetida en las filas %2 y %3").arg(*key).arg(it->second).arg(t.rowNumber()));
    return qint32(*key);
}

QString readText(const ParadoxTable &t, int field, int size, const QString &who)
{
    const QString text = t.text(field);
    if (text.size() > size)
        t.fail(QStringLiteral("%1 de %2 tiene %3 caracteres y el programa admite %4")
                   .arg(t.fields()[std::size_t(field)].name, who)
                   .arg(text.size())
                   .arg(size));
    return text;
}

// The program keeps line breaks as LF.
QString readMemo(const ParadoxTable &t, int field)
{
    QString text = codepage::fromWindows1252(t.blob(field));
    if (text.contains(QLatin1Char('\r'))) {
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    }
    return text;
}

// A system number written "07" or " 7" still names the seventh system; anything else is no
// system at all.
QString readType(const ParadoxTable &t, int field, qint32 key, QStringList &notes)
{
    const QString type = t.text(field);
    if (isSystemNumber(type))
        return type;
    QString clean = type.trimmed();
    while (clean.size() > 1 && clean.front() == QLatin1Char('0'))
        clean.remove(0, 1);
    if (!isSystemNumber(clean))
        t.fail(QStringLiteral("la flor %1 tiene Tipo «%2», que no es un sistema de flores: debe ser un número de 1 a 13")
                   .arg(key)
                   .arg(type));
    notes << QStringLiteral("%1: la flor %2 tenía Tipo «%3»; se guarda «%4»").arg(t.fileName()).arg(key).arg(type, clean);
    return clean;
}

std::unique_ptr<ParadoxTable> openTable(const OldFolder &old, const QString &name, const std::optional<QByteArray> &password,
                                        MigrationReport &report)
{
    const QString path = old.table(name);
    auto table = std::make_unique<ParadoxTable>(path, old.blobFile(path), password);
    if (table->isEncrypted())
        report.decrypted << table->fileName();
    return table;
}

std::vector<Flower> readFlowers(const OldFolder &old, const std::optional<QByteArray> &password, MigrationReport &report)
{
    const auto t = openTable(old, QStringLiteral("Flores.db"), password, report);
    const std::vector<int> at = locateFields(*t,
                                             {{QStringLiteral("Clave"), Kind::Integer},
                                              {QStringLiteral("Tipo"), Kind::Text},
                                              {QStringLiteral("Nom1"), Kind::Text},
                                              {QStringLiteral("Nom2"), Kind::Text},
                                              {QStringLiteral("Nom3"), Kind::Text},
                                              {QStringLiteral("Memo1"), Kind::Memo},
                                              {QStringLiteral("Memo2"), Kind::Memo},
                                              {QStringLiteral("Memo3"), Kind::Memo},
                                              {QStringLiteral("Foto"), Kind::Picture}},
                                             report.notes);
    const int nameSize = catalogue::floresDef().fields[2].size;
    std::vector<Flower> flowers;
    std::unordered_map<qint32, qint64> rows;
    while (t->next()) {
        Flower f;
        f.key = readKey(*t, at[0], rows);
        const QString who = QStringLiteral("la flor %1").arg(f.key);
        f.system = readType(*t, at[1], f.key, report.notes);
        for (int n = 0; n < 3; ++n)
            f.names[n] = readText(*t, at[std::size_t(2 + n)], nameSize, who);
        for (int n = 0; n < 3; ++n)
            f.memos[n] = readMemo(*t, at[std::size_t(5 + n)]);
        f.photo = t->blob(at[8]);
        flowers.push_back(std::move(f));
    }
    return flowers;
}

std::vector<Symptom> readSymptoms(const OldFolder &old, const std::optional<QByteArray> &password, MigrationReport &report)
{
    const auto t = openTable(old, QStringLiteral("Sintomas.db"), password, report);
    const std::vector<int> at = locateFields(
        *t, {{QStringLiteral("Clave"), Kind::Integer}, {QStringLiteral("Nom"), Kind::Text}, {QStringLiteral("Orden"), Kind::Integer}},
        report.notes);
    const int nameSize = catalogue::sintomasDef().fields[1].size;
    std::vector<Symptom> symptoms;
    std::unordered_map<qint32, qint64> rows;
    while (t->next()) {
        Symptom s;
        s.key = readKey(*t, at[0], rows);
        s.name = readText(*t, at[1], nameSize, QStringLiteral("el síntoma %1").arg(s.key));
        s.order = t->integer(at[2]);
        symptoms.push_back(std::move(s));
    }
    return symptoms;
}

// Rows left out of a table, counted by reason, with the first few as examples.
class LeftOut
{
public:
    explicit LeftOut(QString reason) : m_reason(std::move(reason)) { }
    void add(const QString &example)
    {
        if (++m_count <= kExamples)
            m_examples << example;
    }
    void report(const QString &file, QStringList &notes) const
    {
        if (m_count > 0)
            notes << QStringLiteral("%1: %2, que no se traen: %3 (%4%5)")
                         .arg(file, m_reason)
                         .arg(m_count)
                         .arg(m_count > kExamples ? QStringLiteral("p. ej. ") : QString(), m_examples.join(QStringLiteral("; ")));
    }

private:
    QString m_reason;
    qint64 m_count = 0;
    QStringList m_examples;
};

QString pairText(qint64 flower, qint64 symptom)
{
    return QStringLiteral("flor %1 con síntoma %2").arg(flower).arg(symptom);
}

std::vector<Link> readLinks(const OldFolder &old, const std::optional<QByteArray> &password, const std::vector<qint32> &flowers,
                            const std::vector<qint32> &symptoms, MigrationReport &report)
{
    const auto t = openTable(old, QStringLiteral("Rel.db"), password, report);
    const std::vector<int> at = locateFields(
        *t, {{QStringLiteral("KFlor"), Kind::Integer}, {QStringLiteral("KSint"), Kind::Integer}, {QStringLiteral("OSint"), Kind::Integer}},
        report.notes);
    LeftOut blank(QStringLiteral("enlaces sin flor o sin síntoma"));
    LeftOut noFlower(QStringLiteral("enlaces a flores que no existen"));
    LeftOut noSymptom(QStringLiteral("enlaces a síntomas que no existen"));
    LeftOut repeated(QStringLiteral("enlaces repetidos"));
    std::vector<Link> links;
    while (t->next()) {
        const std::optional<qint64> flower = t->integer(at[0]);
        const std::optional<qint64> symptom = t->integer(at[1]);
        if (!flower || !symptom) {
            blank.add(QStringLiteral("fila %1").arg(t->rowNumber()));
            continue;
        }
        if (!std::binary_search(flowers.begin(), flowers.end(), *flower)) {
            noFlower.add(pairText(*flower, *symptom));
            continue;
        }
        if (!std::binary_search(symptoms.begin(), symptoms.end(), *symptom)) {
            noSymptom.add(pairText(*flower, *symptom));
            continue;
        }
        links.push_back({qint32(*flower), qint32(*symptom), t->integer(at[2])});
    }

    // The first of a repeated pair stays, in its place; the later ones go.
    std::vector<std::pair<quint64, std::size_t>> pairs(links.size());
    for (std::size_t i = 0; i < links.size(); ++i)
        pairs[i] = {quint64(quint32(links[i].flower)) << 32 | quint32(links[i].symptom), i};
    std::sort(pairs.begin(), pairs.end());
    std::vector<bool> drop(links.size(), false);
    for (std::size_t i = 1; i < pairs.size(); ++i)
        if (pairs[i].first == pairs[i - 1].first)
            drop[pairs[i].second] = true;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < links.size(); ++i) {
        if (drop[i])
            repeated.add(pairText(links[i].flower, links[i].symptom));
        else
            links[kept++] = links[i];
    }
    links.resize(kept);

    for (const LeftOut *l : {&blank, &noFlower, &noSymptom, &repeated})
        l->report(t->fileName(), report.notes);
    return links;
}

quint32 little32(const char *p)
{
    const auto *b = reinterpret_cast<const uchar *>(p);
    return quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
}

// A graphic field puts an 8-byte header before the picture: a count of 1, the kind 0x0100 and
// the picture's length. Without it, the bytes are taken as the picture itself.
QByteArray pictureOf(const QByteArray &graphic)
{
    if (graphic.size() >= 8 && graphic.startsWith(QByteArrayLiteral("\x01\x00\x00\x01"))
        && little32(graphic.constData() + 4) == quint32(graphic.size() - 8))
        return graphic.mid(8);
    return graphic;
}

QByteArray toPng(const QByteArray &graphic)
{
    const QImage image = QImage::fromData(pictureOf(graphic));
    QByteArray png;
    if (image.isNull())
        return png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "PNG");
    // A lighter compression than the default: about a tenth larger, four times faster, and
    // just as lossless.
    writer.setQuality(50);
    if (!writer.write(image))
        png.clear();
    return png;
}

// Decoding the photos and encoding them as PNG is most of the work of a migration: it goes on
// in the processors left free while the other tables are read.
class PhotoConversion
{
public:
    explicit PhotoConversion(std::vector<Flower> &flowers) : m_flowers(flowers), m_failed(flowers.size(), 0)
    {
        const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, 8u);
        for (unsigned i = 0; i < threads; ++i)
            m_threads.emplace_back([this] { work(); });
    }
    ~PhotoConversion()
    {
        m_stop = true;
        join();
    }
    PhotoConversion(const PhotoConversion &) = delete;
    PhotoConversion &operator=(const PhotoConversion &) = delete;

    // Waits for the last photo; fails on the first one that is not a picture.
    void finish(MigrationReport &report)
    {
        join();
        for (std::size_t i = 0; i < m_flowers.size(); ++i) {
            if (m_failed[i])
                throw store::Error(QStringLiteral("Flores.db: la foto de la flor %1 no es una imagen que el programa sepa leer")
                                       .arg(m_flowers[i].key));
            if (!m_flowers[i].photo.isEmpty())
                ++report.photos;
        }
    }

private:
    void work()
    {
        for (std::size_t i; !m_stop && (i = m_next++) < m_flowers.size();) {
            QByteArray &photo = m_flowers[i].photo;
            if (photo.isEmpty())
                continue;
            try {
                photo = toPng(photo);
            } catch (...) {
                photo.clear();
            }
            m_failed[i] = photo.isEmpty();
        }
    }

    void join()
    {
        for (std::thread &t : m_threads)
            if (t.joinable())
                t.join();
    }

    std::vector<Flower> &m_flowers;
    std::vector<char> m_failed;
    std::atomic<std::size_t> m_next{0};
    std::atomic<bool> m_stop{false};
    std::vector<std::thread> m_threads;
};

// A copy that keeps every byte; only a regular file is read.
void copyFile(const QString &from, const QString &name, const QString &to)
{
    const ReadOnlyFile in(from, name);
    QFile out(to);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw store::Error(QStringLiteral("%1: no se puede copiar (%2)").arg(name, out.errorString()));
    QByteArray buffer(std::min<qint64>(in.size(), 1 << 20), Qt::Uninitialized);
    for (qint64 at = 0; at < in.size();) {
        const qint64 n = std::min<qint64>(buffer.size(), in.size() - at);
        in.read(at, buffer.data(), n);
        if (out.write(buffer.constData(), n) != n)
            throw store::Error(QStringLiteral("%1: no se puede copiar (%2)").arg(name, out.errorString()));
        at += n;
    }
    if (!out.flush() || ::fsync(out.handle()) != 0)
        throw store::Error(QStringLiteral("%1: no se puede copiar").arg(name));
}

// Moves a file or folder into the target without ever replacing what is there.
void renameNoReplace(const QString &from, const QString &to)
{
    if (::renameat2(AT_FDCWD, QFile::encodeName(from).constData(), AT_FDCWD, QFile::encodeName(to).constData(),
                    RENAME_NOREPLACE)
        != 0)
        throw store::Error(QStringLiteral("No se puede poner %1 en su sitio (%2)")
                               .arg(QDir::toNativeSeparators(to), QString::fromLocal8Bit(std::strerror(errno))));
}

const QString kSettings = QStringLiteral("Config.Dat");
const QString kRepertory = QStringLiteral("Repertorio");

// Config.Dat and Repertorio, copied into a hidden folder inside the target; moved in with the
// tables at the end.
class Belongings
{
public:
    Belongings(const OldFolder &old, const QString &folder, MigrationReport &report)
        : m_folder(folder), m_staging(QDir(folder).filePath(QStringLiteral(".vantolia-migrar-XXXXXX")))
    {
        if (!m_staging.isValid())
            throw store::Error(QStringLiteral("No se puede escribir en la carpeta %1: %2")
                                   .arg(QDir::toNativeSeparators(folder), m_staging.errorString()));
        const QString settings = old.find(kSettings);
        if (!settings.isEmpty()) {
            if (QFileInfo(settings).isFile()) {
                copyFile(settings, kSettings, m_staging.filePath(kSettings));
                report.settingsCopied = true;
            } else {
                report.notes << QStringLiteral("%1 no es un archivo común; no se copia").arg(kSettings);
            }
        }
        const QString repertory = old.find(kRepertory);
        if (repertory.isEmpty())
            return;
        if (!QFileInfo(repertory).isDir() || QFileInfo(repertory).isSymLink()) {
            report.notes << QStringLiteral("%1 no es una carpeta; no se copia").arg(kRepertory);
            return;
        }
        const QDir into(m_staging.filePath(kRepertory));
        if (!QDir().mkdir(into.path()))
            throw store::Error(QStringLiteral("No se puede escribir en la carpeta %1").arg(QDir::toNativeSeparators(folder)));
        report.storedSelections = 0;
        const QFileInfoList entries =
            QDir(repertory).entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
        for (const QFileInfo &e : entries) {
            const QString name = kRepertory + QLatin1Char('/') + e.fileName();
            if (e.isSymLink() || !e.isFile()) {
                report.notes << QStringLiteral("%1 no es un archivo común; no se copia").arg(name);
                continue;
            }
            copyFile(e.filePath(), name, into.filePath(e.fileName()));
            ++report.storedSelections;
        }
    }

    // Moves the copies in, then runs `install`; if that fails, the copies go again.
    template <typename Install>
    void placeWith(Install install)
    {
        QStringList moved;
        try {
            for (const QString &name : {kSettings, kRepertory}) {
                if (!QFileInfo::exists(m_staging.filePath(name)))
                    continue;
                renameNoReplace(m_staging.filePath(name), QDir(m_folder).filePath(name));
                moved << QDir(m_folder).filePath(name);
            }
            install();
        } catch (...) {
            for (const QString &path : std::as_const(moved)) {
                if (QFileInfo(path).isDir())
                    QDir(path).removeRecursively();
                else
                    QFile::remove(path);
            }
            throw;
        }
    }

private:
    QString m_folder;
    QTemporaryDir m_staging;
};

} // namespace

MigrationReport migrateParadox(const QString &oldFolder, const QString &folder, const std::optional<QString> &password)
{
    ensureNoTables(folder);
    for (const QString &name : {kSettings, kRepertory}) {
        const QString path = QDir(folder).filePath(name);
        if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
            throw store::Error(QStringLiteral("Ya existe %1: no se sobrescribe nada; elija una carpeta nueva")
                                   .arg(QDir::toNativeSeparators(path)));
    }
    std::optional<QByteArray> key;
    if (password) {
        if (const qsizetype p = codepage::firstOutside(*password); p >= 0)
            throw store::Error(QStringLiteral("La contraseña contiene %1, que no existe en Windows-1252: no puede ser la de "
                                              "las tablas")
                                   .arg(describeCharacter(*password, p)));
        key = codepage::toWindows1252(*password, '?');
    }

    // Everything is read and checked before anything is written.
    const OldFolder old(oldFolder);
    MigrationReport report;
    std::vector<Flower> flowers = readFlowers(old, key, report);
    std::vector<qint32> flowerKeys, symptomKeys;
    for (const Flower &f : flowers)
        flowerKeys.push_back(f.key);
    std::sort(flowerKeys.begin(), flowerKeys.end());
    PhotoConversion photos(flowers);
    const std::vector<Symptom> symptoms = readSymptoms(old, key, report);
    for (const Symptom &s : symptoms)
        symptomKeys.push_back(s.key);
    std::sort(symptomKeys.begin(), symptomKeys.end());
    const std::vector<Link> links = readLinks(old, key, flowerKeys, symptomKeys, report);
    photos.finish(report);
    if (password && report.decrypted.isEmpty())
        report.notes << QStringLiteral("Ninguna tabla estaba protegida: la contraseña no hizo falta");

    // The copies of Config.Dat and Repertorio wait inside the target, so it must exist; it goes
    // again if the migration fails.
    MadeFolders made;
    made.make(folder);
    NewTableFolder tables(folder);
    fillCatalogue(tables, flowers, symptoms, links);
    Belongings belongings(old, folder, report);
    belongings.placeWith([&] { tables.install(); });
    made.keep();

    report.flowers = qint64(flowers.size());
    report.symptoms = qint64(symptoms.size());
    report.links = qint64(links.size());
    return report;
}

} // namespace tabletool
