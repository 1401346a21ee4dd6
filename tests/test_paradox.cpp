#include "catalogue/tabledefinitions.h"
#include "paradoxcipher.h"
#include "paradoxtable.h"
#include "paradoxwriter.h"
#include "testsupport.h"
#include "store/codepage.h"
#include "store/table.h"
#include "tabletool.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <functional>
#include <optional>

using namespace tabletool;

namespace {

QByteArray cp(const QString &text)
{
    return codepage::toWindows1252(text, '?');
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("no se puede leer %s", qPrintable(path));
    return f.readAll();
}

void writeAll(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("no se puede escribir %s", qPrintable(path));
}

void patch(const QString &path, qint64 at, const QByteArray &bytes)
{
    QByteArray all = readAll(path);
    all.replace(at, bytes.size(), bytes);
    writeAll(path, all);
}

QByteArray le16(quint32 v)
{
    QByteArray bytes(2, '\0');
    bytes[0] = char(v & 0xFF);
    bytes[1] = char((v >> 8) & 0xFF);
    return bytes;
}

QByteArray le32(quint32 v)
{
    return le16(v & 0xFFFF) + le16(v >> 16);
}

quint16 read16(const QString &path, qint64 at)
{
    const QByteArray b = readAll(path).mid(at, 2);
    return quint16(uchar(b[0]) | uchar(b[1]) << 8);
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

QImage picture(int width, int height, int seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb((x * 37 + seed) & 0xFF, (y * 53 + seed * 3) & 0xFF, (x * y + seed) & 0xFF));
    return image;
}

// An old catalogue as the old program kept it, with what a migration must cope with: keys with
// gaps, accents and ñ, texts that fill their fields, empty memos, memos that fit in the row and
// memos that do not (in a shared block of the .MB file and in a block of their own), Windows
// line breaks, a small photo and a large one, a symptom without Orden, a negative one, rows left
// behind by deletions, tables of several blocks chained out of file order, and links that
// cannot be kept.
struct OldFlower
{
    qint64 key = 0;
    QString type;
    QString names[3];
    QString memos[3];
    QImage photo;
    QByteArray rawPhoto; // when set, the field holds these bytes instead of the photo
};

struct OldSymptom
{
    qint64 key = 0;
    QString name;
    std::optional<qint64> order;
};

struct OldLink
{
    std::optional<qint64> flower, symptom, order;
};

const int kMemoLeader = 20;

struct OldCatalogue
{
    std::vector<OldFlower> flowers;
    std::vector<OldSymptom> symptoms;
    std::vector<OldLink> links;
    QByteArray password;
    int nameSize = 25;

    static OldCatalogue sample()
    {
        OldCatalogue c;
        QString longMemo;
        for (int i = 0; longMemo.size() < 3000; ++i)
            longMemo += QStringLiteral("Línea %1 de la descripción: añoranza, pánico y cigüeña.\r\n").arg(i);
        c.flowers = {
            {1, QStringLiteral("1"), {QStringLiteral("Agrimonia"), QStringLiteral("Agrimony"), QStringLiteral("Agrimonia eupatoria")},
             {QStringLiteral("Tortura mental\r\ntras una cara alegre."), QStringLiteral("Corta"), QString()},
             picture(8, 6, 1), {}},
            {2, QStringLiteral("13"), {QStringLiteral("Ñandú Azul"), QStringLiteral("Blue Rhea"), QStringLiteral("Salvia azurea")},
             {longMemo, QStringLiteral("Veinte letras justas"), QStringLiteral("Veintiuna letras: sí.")},
             {}, {}},
            {5, QStringLiteral("7"), {QStringLiteral("Castaño Dulce"), QStringLiteral("Sweet Chestnut"), QStringLiteral("Castanea sativa")},
             {QStringLiteral("Angustia extrema — «sin salida» — cuesta 5 €.\rOtra línea."), QString(), QStringLiteral("ñ")},
             picture(64, 48, 2), {}},
            {9, QStringLiteral("10"), {QStringLiteral("Orquídea del Inca"), QString(), QStringLiteral("Masdevallia veitchiana")},
             {QString(), QString(), QString()}, {}, {}},
            {12, QStringLiteral("4"), {QStringLiteral("Álamo Temblón de Montañas"), QStringLiteral("Aspen"), QStringLiteral("Populus tremula")},
             {QStringLiteral("Miedos vagos."), QString(), QString()}, picture(3, 3, 3), {}},
        };
        c.symptoms = {{1, QStringLiteral("Miedo a la oscuridad"), 1},
                      {2, QStringLiteral("CORAZÓN ROTO"), 2},
                      {3, QStringLiteral("Añoranza del pasado"), 3},
                      {4, QStringLiteral("Pánico sin motivo"), 4},
                      {5, QStringLiteral("Ñoñería"), 5},
                      {6, QStringLiteral("Sin orden"), std::nullopt},
                      {40, QStringLiteral("Agotamiento tras un esfuerzo prolongado y sin descanso algún"), -3}};
        c.links = {{1, 1, 1}, {1, 2, 2},  {2, 3, 3},  {70, 1, 1}, {5, 4, 4},  {1, 99, 99},
                   {9, 5, 5}, {1, 2, 2},  {12, 40, -3}, {std::nullopt, 3, 3}, {2, 6, std::nullopt}};
        return c;
    }

    ParadoxWriterOptions options(int rowsPerBlock) const
    {
        ParadoxWriterOptions o;
        o.password = password;
        o.rowsPerBlock = rowsPerBlock;
        o.scrambleBlocks = true;
        return o;
    }

    void write(const QString &folder) const
    {
        QDir().mkpath(folder);
        const QDir dir(folder);
        ParadoxTableWriter f(dir.filePath(QStringLiteral("Flores.db")),
                             {{"Clave", paradoxtype::kAutoIncrement, 4},
                              {"Tipo", paradoxtype::kAlpha, 2},
                              {"Nom1", paradoxtype::kAlpha, nameSize},
                              {"Nom2", paradoxtype::kAlpha, 25},
                              {"Nom3", paradoxtype::kAlpha, 25},
                              {"Memo1", paradoxtype::kMemo, kMemoLeader + 10},
                              {"Memo2", paradoxtype::kMemo, kMemoLeader + 10},
                              {"Memo3", paradoxtype::kMemo, kMemoLeader + 10},
                              {"Foto", paradoxtype::kGraphic, 10}},
                             options(2));
        for (std::size_t i = 0; i < flowers.size(); ++i) {
            const OldFlower &fl = flowers[i];
            auto text = [](const QString &s) { return s.isEmpty() ? ParadoxValue() : ParadoxValue(cp(s)); };
            ParadoxValue photo;
            if (!fl.rawPhoto.isEmpty())
                photo = fl.rawPhoto;
            else if (!fl.photo.isNull())
                photo = paradoxGraphic(fl.photo);
            f.addRow({fl.key, text(fl.type), text(fl.names[0]), text(fl.names[1]), text(fl.names[2]), text(fl.memos[0]),
                      text(fl.memos[1]), text(fl.memos[2]), photo});
            if (i == 2) {
                // A flower deleted after the third: its bytes stay behind in the block.
                f.addRow({qint64(77), cp(QStringLiteral("3")), cp(QStringLiteral("Borrada")), {}, {}, {}, {}, {}, {}});
                f.deleteLastRow();
            }
        }
        f.finish();

        ParadoxTableWriter s(dir.filePath(QStringLiteral("Sintomas.db")),
                             {{"Clave", paradoxtype::kAutoIncrement, 4}, {"Nom", paradoxtype::kAlpha, 60}, {"Orden", paradoxtype::kLong, 4}},
                             options(3));
        for (const OldSymptom &sy : symptoms)
            s.addRow({sy.key, cp(sy.name), sy.order ? ParadoxValue(*sy.order) : ParadoxValue()});
        s.addRow({qint64(41), cp(QStringLiteral("Borrado")), qint64(41)});
        s.deleteLastRow();
        s.finish();

        ParadoxWriterOptions relOptions = options(4);
        relOptions.keyFields = 2;
        ParadoxTableWriter r(dir.filePath(QStringLiteral("Rel.db")),
                             {{"KFlor", paradoxtype::kLong, 4}, {"KSint", paradoxtype::kShort, 2}, {"OSint", paradoxtype::kNumber, 8}},
                             relOptions);
        auto number = [](const std::optional<qint64> &v) { return v ? ParadoxValue(*v) : ParadoxValue(); };
        for (const OldLink &l : links)
            r.addRow({number(l.flower), number(l.symptom), number(l.order)});
        r.finish();

        writeAll(dir.filePath(QStringLiteral("Config.Dat")), "100\r\n200\r\n");
        dir.mkdir(QStringLiteral("Repertorio"));
        writeAll(dir.filePath(QStringLiteral("Repertorio/Ana García.Dat")), QByteArray("\x01\x00\x00\x00\x28\x00\x00\x00", 8));
        writeAll(dir.filePath(QStringLiteral("Repertorio/{12}.Dat")), QByteArray("\x05\x00\x00\x00", 4));
    }
};

// The rows of a migrated table in key order (Rel in file order), pictures as their bytes.
QVariant textOrNull(const QString &s)
{
    return s.isEmpty() ? QVariant() : QVariant(s);
}

QVariant numberOrNull(const std::optional<qint64> &v)
{
    return v ? QVariant(*v) : QVariant();
}

QString withLf(QString s)
{
    return s.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
}

// Every field of the migrated catalogue against the old one.
void compareWithSource(const QString &folder, const OldCatalogue &old)
{
    std::vector<OldFlower> flowers = old.flowers;
    std::sort(flowers.begin(), flowers.end(), [](const OldFlower &a, const OldFlower &b) { return a.key < b.key; });
    const QList<QVariantList> rows = dumpTable(folder, catalogue::floresDef());
    QCOMPARE(rows.size(), qsizetype(flowers.size()));
    for (std::size_t i = 0; i < flowers.size(); ++i) {
        const QVariantList &row = rows[qsizetype(i)];
        const OldFlower &f = flowers[i];
        QCOMPARE(row[0].toLongLong(), f.key);
        QCOMPARE(row[1], QVariant(f.type));
        for (int n = 0; n < 3; ++n) {
            QCOMPARE(row[2 + n], textOrNull(f.names[n]));
            QCOMPARE(row[5 + n], textOrNull(withLf(f.memos[n])));
        }
        QCOMPARE(row[8].isNull(), f.photo.isNull());
        if (!f.photo.isNull()) {
            QVERIFY(row[8].toByteArray().startsWith("\x89PNG"));
            const QImage stored = QImage::fromData(row[8].toByteArray(), "PNG");
            QCOMPARE(stored.convertToFormat(QImage::Format_RGB32), f.photo);
        }
    }

    std::vector<OldSymptom> symptoms = old.symptoms;
    const QList<QVariantList> sRows = dumpTable(folder, catalogue::sintomasDef());
    QCOMPARE(sRows.size(), qsizetype(symptoms.size()));
    for (std::size_t i = 0; i < symptoms.size(); ++i) {
        QCOMPARE(sRows[qsizetype(i)][0].toLongLong(), symptoms[i].key);
        QCOMPARE(sRows[qsizetype(i)][1], QVariant(symptoms[i].name));
        QCOMPARE(sRows[qsizetype(i)][2], numberOrNull(symptoms[i].order));
    }
}

} // namespace

class TestParadox : public QObject
{
    Q_OBJECT

private slots:
    void cipher();
    void readsEveryFieldType_data();
    void readsEveryFieldType();
    void migratesEverything();
    void migratesProtectedTables();
    void damagedFiles_data();
    void damagedFiles();
    void refusesAnOccupiedTarget();
    void syntheticCatalogue();
    void commandLine();
};

void TestParadox::cipher()
{
    // The key of a password, as an independent implementation of the format computes it.
    QCOMPARE(paradoxcipher::passwordKey("tarnok"), 0xFA158D77u);
    QCOMPARE(paradoxcipher::passwordKey(QByteArray()), 0u);
    QVERIFY(paradoxcipher::passwordKey("Tarnok") != paradoxcipher::passwordKey("tarnok"));

    QByteArray plain(2048, '\0');
    for (int i = 0; i < plain.size(); ++i)
        plain[i] = char(i * 7 + i / 256);
    QByteArray block = plain;
    paradoxcipher::encipherDataBlock(block.data(), int(block.size()), 0xFA158D77u, 3);
    QVERIFY(block != plain);
    QByteArray other = plain;
    paradoxcipher::encipherDataBlock(other.data(), int(other.size()), 0xFA158D77u, 4);
    QVERIFY(other != block); // each block is enciphered with its number
    paradoxcipher::decipherDataBlock(block.data(), int(block.size()), 0xFA158D77u, 3);
    QCOMPARE(block, plain);

    QByteArray blob = plain;
    paradoxcipher::encipherBlobBytes(blob.data(), blob.size(), 0x12345678u);
    QCOMPARE(blob.mid(0, 256) == blob.mid(256, 256), plain.mid(0, 256) == plain.mid(256, 256));
    paradoxcipher::decipherBlobBytes(blob.data(), blob.size(), 0x12345678u);
    QCOMPARE(blob, plain);
}

void TestParadox::readsEveryFieldType_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("blockKiB");
    QTest::addColumn<QByteArray>("password");
    QTest::newRow("versión 7, bloques de 4 KiB") << 12 << 4 << QByteArray();
    QTest::newRow("versión 4, bloques de 1 KiB") << 9 << 1 << QByteArray();
    QTest::newRow("versión 7 con contraseña") << 12 << 2 << QByteArray("tarnok");
}

void TestParadox::readsEveryFieldType()
{
    QFETCH(int, version);
    QFETCH(int, blockKiB);
    QFETCH(QByteArray, password);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Tipos.db"));
    ParadoxWriterOptions options;
    options.version = version;
    options.blockKiB = blockKiB;
    options.password = password;
    options.scrambleBlocks = true;
    ParadoxTableWriter writer(path,
                              {{"Clave", paradoxtype::kAutoIncrement, 4},
                               {"Texto", paradoxtype::kAlpha, 12},
                               {"Corto", paradoxtype::kShort, 2},
                               {"Largo", paradoxtype::kLong, 4},
                               {"Numero", paradoxtype::kNumber, 8},
                               {"Memo", paradoxtype::kMemo, 15},
                               {"Imagen", paradoxtype::kGraphic, 10},
                               {"Binario", paradoxtype::kBinary, 10}},
                              options);
    // Lengths around the edges: blank, in the row, just past it, shared blocks, own blocks.
    const int memoLengths[] = {0, 1, 5, 6, 100, 2047, 2048, 5000, 300};
    std::vector<std::vector<ParadoxValue>> rows;
    for (int r = 1; r <= 60; ++r) {
        const int memoLength = memoLengths[r % 9];
        QByteArray memo(memoLength, 'x');
        for (int i = 0; i < memoLength; ++i)
            memo[i] = char("aeiouñáé\r\n"[(i + r) % 10]);
        QByteArray bytes(r * 97 % 4500, '\0');
        for (int i = 0; i < bytes.size(); ++i)
            bytes[i] = char(i * r);
        rows.push_back({qint64(r), r % 5 ? ParadoxValue(cp(QStringLiteral("fila ñ%1").arg(r))) : ParadoxValue(),
                        r % 7 ? ParadoxValue(qint64(r % 2 ? -r * 300 : r * 300)) : ParadoxValue(),
                        qint64(r % 2 ? -2147483647 + r : 2147483647 - r), qint64(r % 3 ? r * 1000000 : -r),
                        memoLength ? ParadoxValue(memo) : ParadoxValue(), bytes.isEmpty() ? ParadoxValue() : bytes,
                        r % 4 ? ParadoxValue(QByteArray("bin") + QByteArray::number(r)) : ParadoxValue()});
        writer.addRow(rows.back());
    }
    writer.finish();

    ParadoxTable table(path, dir.filePath(QStringLiteral("Tipos.MB")),
                       password.isEmpty() ? std::nullopt : std::optional<QByteArray>(password));
    QCOMPARE(table.isEncrypted(), !password.isEmpty());
    QCOMPARE(int(table.fields().size()), 8);
    QCOMPARE(table.fields()[4].name, QStringLiteral("Numero"));
    QCOMPARE(table.fieldIndex(u"memo"), 5);
    QCOMPARE(table.declaredRows(), 60u);
    for (const std::vector<ParadoxValue> &expected : rows) {
        QVERIFY(table.next());
        for (int f = 0; f < 8; ++f) {
            const ParadoxValue &v = expected[std::size_t(f)];
            QCOMPARE(table.isNull(f), std::holds_alternative<std::monostate>(v));
            if (std::holds_alternative<qint64>(v))
                QCOMPARE(*table.integer(f), std::get<qint64>(v));
            else if (f == 1 && !table.isNull(f))
                QCOMPARE(table.text(f), codepage::fromWindows1252(std::get<QByteArray>(v)));
            else if (f >= 5)
                QCOMPARE(table.blob(f), std::holds_alternative<QByteArray>(v) ? std::get<QByteArray>(v) : QByteArray());
        }
    }
    QVERIFY(!table.next());
    QCOMPARE(table.rowNumber(), qint64(60));
}

void TestParadox::migratesEverything()
{
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("antigua"));
    const OldCatalogue source = OldCatalogue::sample();
    source.write(old);
    // The old program ran on Windows: names may come in any case.
    QFile::rename(QDir(old).filePath(QStringLiteral("Sintomas.db")), QDir(old).filePath(QStringLiteral("SINTOMAS.DB")));
    QFile::rename(QDir(old).filePath(QStringLiteral("Flores.MB")), QDir(old).filePath(QStringLiteral("flores.mb")));
    // What is not a stored selection is not copied, and never waited on.
    QVERIFY(::mkfifo(QFile::encodeName(QDir(old).filePath(QStringLiteral("Repertorio/tubo.Dat"))).constData(), 0600) == 0);
    QDir(old).mkpath(QStringLiteral("Repertorio/sub"));
    QMap<QString, QByteArray> before;
    for (const QString &name : entries(old))
        if (QFileInfo(QDir(old).filePath(name)).isFile())
            before[name] = readAll(QDir(old).filePath(name));

    const QString folder = dir.filePath(QStringLiteral("nueva"));
    const MigrationReport report = migrateParadox(old, folder, std::nullopt);
    QCOMPARE(report.flowers, 5);
    QCOMPARE(report.photos, 3);
    QCOMPARE(report.symptoms, 7);
    QCOMPARE(report.links, 7);
    QVERIFY(report.settingsCopied);
    QCOMPARE(report.storedSelections, 2);
    QVERIFY(report.decrypted.isEmpty());
    RowCounts counts;
    QCOMPARE(verifyTables(folder, &counts), QStringList());
    QCOMPARE(counts.links, 7);
    compareWithSource(folder, source);

    // Links in their order, less the four that cannot be kept, each reported.
    const QList<QVariantList> links = dumpTable(folder, catalogue::relDef());
    const QList<QVariantList> expected{{1, 1, 1}, {1, 2, 2}, {2, 3, 3}, {5, 4, 4}, {9, 5, 5}, {12, 40, -3}, {2, 6, QVariant()}};
    QCOMPARE(links.size(), expected.size());
    for (qsizetype i = 0; i < links.size(); ++i)
        for (int c = 0; c < 3; ++c)
            QCOMPARE(links[i][c], expected[i][c].isNull() ? QVariant() : QVariant(expected[i][c].toLongLong()));
    const QString notes = report.notes.join(QLatin1Char('\n'));
    QVERIFY2(notes.contains(QStringLiteral("Rel.db: enlaces a flores que no existen, que no se traen: 1 (flor 70 con síntoma 1)")), qPrintable(notes));
    QVERIFY2(notes.contains(QStringLiteral("Rel.db: enlaces a síntomas que no existen, que no se traen: 1 (flor 1 con síntoma 99)")), qPrintable(notes));
    QVERIFY2(notes.contains(QStringLiteral("Rel.db: enlaces repetidos, que no se traen: 1 (flor 1 con síntoma 2)")), qPrintable(notes));
    QVERIFY2(notes.contains(QStringLiteral("Rel.db: enlaces sin flor o sin síntoma, que no se traen: 1 (fila 10)")), qPrintable(notes));
    QVERIFY2(notes.contains(QStringLiteral("Repertorio/tubo.Dat no es un archivo común")), qPrintable(notes));
    QVERIFY2(notes.contains(QStringLiteral("Repertorio/sub no es un archivo común")), qPrintable(notes));
    QCOMPARE(report.notes.size(), 6);

    // Settings and stored selections come over byte for byte; the old folder is untouched.
    QCOMPARE(entries(folder), QStringList({"Config.Dat", "Flores.db", "Rel.db", "RepFlor.db", "RepSint.db", "Repertorio", "Sintomas.db"}));
    QCOMPARE(readAll(QDir(folder).filePath(QStringLiteral("Config.Dat"))), QByteArray("100\r\n200\r\n"));
    QCOMPARE(entries(QDir(folder).filePath(QStringLiteral("Repertorio"))), QStringList({"Ana García.Dat", "{12}.Dat"}));
    QCOMPARE(readAll(QDir(folder).filePath(QStringLiteral("Repertorio/{12}.Dat"))), QByteArray("\x05\x00\x00\x00", 4));
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(readAll(QDir(old).filePath(it.key())), it.value());

    // New keys go on after the highest one.
    store::Table flores(QDir(folder).filePath(QStringLiteral("Flores.db")), catalogue::floresDef(), store::TableFile::Durability::Full);
    store::Record r{{QVariant(), QStringLiteral("2"), QStringLiteral("Nueva"), {}, {}, {}, {}, {}, {}}, std::vector<bool>(9, true)};
    QCOMPARE(flores.integer(flores.insert(r), 0), 13);
    store::Table symptoms(QDir(folder).filePath(QStringLiteral("Sintomas.db")), catalogue::sintomasDef(), store::TableFile::Durability::Full);
    store::Record s{{QVariant(), QStringLiteral("Nuevo"), QVariant()}, std::vector<bool>(3, true)};
    QCOMPARE(symptoms.integer(symptoms.insert(s), 0), 41);
}

void TestParadox::migratesProtectedTables()
{
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("antigua"));
    OldCatalogue source = OldCatalogue::sample();
    source.password = "tarnok";
    source.write(old);
    QVERIFY(!readAll(QDir(old).filePath(QStringLiteral("Flores.MB"))).contains(cp(QStringLiteral("Tortura mental"))));

    const QString folder = dir.filePath(QStringLiteral("nueva"));
    const std::vector<std::pair<std::optional<QString>, QString>> refused{
        {std::nullopt, QStringLiteral("Flores.db: la tabla está protegida con contraseña; indíquela con --clave")},
        {QStringLiteral("Tarnok"), QStringLiteral("Flores.db: la contraseña indicada no es la de esta tabla")},
        {QStringLiteral("tarnok☺"), QStringLiteral("La contraseña contiene «☺» (U+263A)")},
    };
    for (const auto &[password, message] : refused) {
        try {
            migrateParadox(old, folder, password);
            QFAIL("debía fallar");
        } catch (const store::Error &e) {
            QVERIFY2(e.message().startsWith(message), qPrintable(e.message()));
        }
        QVERIFY(!QFileInfo::exists(folder));
    }

    const MigrationReport report = migrateParadox(old, folder, QStringLiteral("tarnok"));
    QCOMPARE(report.decrypted, QStringList({"Flores.db", "Sintomas.db", "Rel.db"}));
    QCOMPARE(report.links, 7);
    QCOMPARE(verifyTables(folder), QStringList());
    compareWithSource(folder, source);

    // A password for tables that have none is said to have been of no use.
    const QString plainOld = dir.filePath(QStringLiteral("sin-clave"));
    OldCatalogue::sample().write(plainOld);
    const MigrationReport plain = migrateParadox(plainOld, dir.filePath(QStringLiteral("otra")), QStringLiteral("tarnok"));
    QVERIFY(plain.notes.contains(QStringLiteral("Ninguna tabla estaba protegida: la contraseña no hizo falta")));
}

namespace {

// Layout of the sample's Flores.db rows: where the pointer and length of each picture or memo
// field sit.
constexpr int kMemo1Pointer = 4 + 2 + 3 * 25 + kMemoLeader;
constexpr int kFotoPointer = 4 + 2 + 3 * 25 + 3 * (kMemoLeader + 10);

qint64 headerSize(const QString &db)
{
    return read16(db, 2);
}

// The first row of Flores.db: its first block is the first in the file.
qint64 firstRow(const QString &db)
{
    return headerSize(db) + 6;
}

struct Spoil
{
    const char *name;
    std::function<void(OldCatalogue &)> alter; // before writing
    std::function<void(const QDir &)> spoil;   // after writing
    const char *message;                       // how the error must begin
    const char *reason;                        // and what it must say
};

const std::vector<Spoil> &spoils()
{
    auto none = [](OldCatalogue &) {};
    auto intact = [](const QDir &) {};
    auto flores = [](const QDir &d) { return d.filePath(QStringLiteral("Flores.db")); };
    auto mb = [](const QDir &d) { return d.filePath(QStringLiteral("Flores.MB")); };
    static const std::vector<Spoil> list{
        {"tabla vacía", none, [=](const QDir &d) { writeAll(flores(d), {}); }, "Flores.db:", "demasiado corto"},
        {"truncada en la cabecera", none, [=](const QDir &d) { QFile(flores(d)).resize(1000); }, "Flores.db:",
         "el archivo está truncado: mide 1000 bytes"},
        {"truncada en los datos", none,
         [=](const QDir &d) { QFile(flores(d)).resize(headerSize(flores(d)) + 4096 + 100); }, "Flores.db:",
         "queda fuera del archivo"},
        {"cabecera de texto", none,
         [=](const QDir &d) { patch(flores(d), 0, QByteArray("Esto no es una tabla de nada, es un texto cualquiera.\n")); },
         "Flores.db:", "no es una tabla en formato Paradox"},
        {"índice en lugar de tabla", none, [=](const QDir &d) { patch(flores(d), 4, "\x01"); }, "Flores.db:",
         "es un índice de Paradox"},
        {"base SQLite", none, [=](const QDir &d) { patch(flores(d), 0, QByteArray("SQLite format 3\0", 16)); },
         "Flores.db:", "es una base SQLite"},
        {"filas de cero bytes", none, [=](const QDir &d) { patch(flores(d), 0, le16(0)); }, "Flores.db:", "filas de 0 bytes"},
        {"bloques de tamaño imposible", none, [=](const QDir &d) { patch(flores(d), 5, QByteArray(1, '\0')); },
         "Flores.db:", "tamaño de bloque imposible"},
        {"cabecera más larga que el archivo", none, [=](const QDir &d) { patch(flores(d), 2, le16(0xF000)); },
         "Flores.db:", "el archivo está truncado"},
        {"cuenta de filas absurda", none, [=](const QDir &d) { patch(flores(d), 6, le32(0xFFFFFFFF)); }, "Flores.db:",
         "la cabecera anuncia 4294967295 filas y los bloques de datos tienen 5"},
        {"campos que no suman la fila", none, [=](const QDir &d) { patch(flores(d), 0x78 + 5, "\x18"); }, "Flores.db:",
         "los campos suman"},
        {"nombres de campo sin fin", none,
         [=](const QDir &d) {
             QByteArray all = readAll(flores(d));
             const qsizetype nom1 = all.indexOf(QByteArray("Nom1\0", 5));
             const qsizetype end = headerSize(flores(d));
             all.replace(nom1, end - nom1, QByteArray(end - nom1, 'x'));
             writeAll(flores(d), all);
         },
         "Flores.db:", "los nombres de los campos no caben en la cabecera"},
        {"cadena de bloques en bucle", none, [=](const QDir &d) { patch(flores(d), headerSize(flores(d)), le16(1)); },
         "Flores.db:", "vuelve al bloque 1"},
        {"cadena que sale del archivo", none, [=](const QDir &d) { patch(flores(d), headerSize(flores(d)), le16(60000)); },
         "Flores.db:", "el bloque de datos 60000 queda fuera del archivo"},
        {"bloque con filas de más", none, [=](const QDir &d) { patch(flores(d), headerSize(flores(d)) + 4, le16(5000)); },
         "Flores.db:", "dice tener filas hasta el byte"},
        {"falta un campo", none,
         [=](const QDir &d) {
             QByteArray all = readAll(flores(d));
             all.replace(all.indexOf(QByteArray("Nom1\0", 5)), 4, "Xom1");
             writeAll(flores(d), all);
         },
         "Flores.db:", "falta el campo Nom1"},
        {"campo de otro tipo", none, [=](const QDir &d) { patch(flores(d), 0x78 + 2, "\x03"); }, "Flores.db:",
         "el campo Tipo es de tipo entero corto y debería ser alfanumérico"},
        {"puntero fuera del .MB", none,
         [=](const QDir &d) { patch(flores(d), firstRow(flores(d)) + kFotoPointer, le32(0x7FFFFF00)); }, "Flores.MB:",
         "el campo Foto de la fila 1 apunta fuera del archivo"},
        {"longitud absurda", none,
         [=](const QDir &d) { patch(flores(d), firstRow(flores(d)) + kMemo1Pointer + 4, le32(0xFFFFFFF0)); },
         "Flores.MB:", "el campo Memo1 de la fila 1 mide 4294967280 bytes según la tabla"},
        {"falta el .MB", none, [=](const QDir &d) { QFile::remove(mb(d)); }, "Flores.db:",
         "el campo Memo1 de la fila 1 está guardado en Flores.MB, que no existe"},
        {".MB truncado", none, [=](const QDir &d) { QFile(mb(d)).resize(5000); }, "Flores.MB:", "apunta fuera del archivo"},
        {".MB que no es de memos", none, [=](const QDir &d) { patch(mb(d), 0, "\x05"); }, "Flores.MB:",
         "no es un archivo de memos de Paradox"},
        {".MB de otra tabla", none,
         [=](const QDir &d) {
             QByteArray all = readAll(mb(d));
             all.replace(all.indexOf(cp(QStringLiteral("Tortura"))), 7, cp(QStringLiteral("Alegría")));
             writeAll(mb(d), all);
         },
         "Flores.MB:", "no empieza como su copia en Flores.db"},
        {"memo borrado del .MB", none, [=](const QDir &d) { patch(mb(d), 4096 + 12 + 5 * 63, QByteArray(5, '\0')); },
         "Flores.MB:", "fue borrado"},
        {"foto que no es una imagen", [](OldCatalogue &c) { c.flowers[0].rawPhoto = "no soy una foto"; }, intact,
         "Flores.db:", "la foto de la flor 1 no es una imagen que el programa sepa leer"},
        {"sistema inexistente", [](OldCatalogue &c) { c.flowers[1].type = QStringLiteral("14"); }, intact, "Flores.db:",
         "la flor 2 tiene Tipo «14», que no es un sistema de flores"},
        {"clave repetida", [](OldCatalogue &c) { c.flowers[3].key = 5; }, intact, "Flores.db:",
         "la Clave 5 está repetida en las filas 3 y 4"},
        {"clave negativa", [](OldCatalogue &c) { c.flowers[0].key = -1; }, intact, "Flores.db:",
         "la fila 1 tiene Clave -1, y las claves deben ser positivas"},
        {"nombre demasiado largo",
         [](OldCatalogue &c) {
             c.nameSize = 30;
             c.flowers[4].names[0] = QStringLiteral("Álamo Temblón de las Montañas");
         },
         intact, "Flores.db:", "Nom1 de la flor 12 tiene 29 caracteres y el programa admite 25"},
        {"tubería en lugar de tabla", none,
         [=](const QDir &d) {
             QFile::remove(flores(d));
             QVERIFY(::mkfifo(QFile::encodeName(flores(d)).constData(), 0600) == 0);
         },
         "Flores.db:", "no es un archivo común"},
        {"carpeta en lugar de tabla", none,
         [=](const QDir &d) {
             QFile::remove(flores(d));
             d.mkdir(QStringLiteral("Flores.db"));
         },
         "Flores.db:", "no es un archivo común"},
        {"falta Rel.db", none, [](const QDir &d) { QFile::remove(d.filePath(QStringLiteral("Rel.db"))); }, "Rel.db:",
         "no está en la carpeta"},
        {"dos Flores.db", none,
         [=](const QDir &d) { QFile::copy(flores(d), d.filePath(QStringLiteral("FLORES.DB"))); }, "Flores.db:",
         "tiene varios"},
        {"Sintomas.db truncada", none,
         [](const QDir &d) {
             const QString s = d.filePath(QStringLiteral("Sintomas.db"));
             QFile(s).resize(QFileInfo(s).size() - 1);
         },
         "Sintomas.db:", "queda fuera del archivo"},
    };
    return list;
}

} // namespace

void TestParadox::damagedFiles_data()
{
    QTest::addColumn<int>("which");
    for (std::size_t i = 0; i < spoils().size(); ++i)
        QTest::newRow(spoils()[i].name) << int(i);
}

void TestParadox::damagedFiles()
{
    QFETCH(int, which);
    const Spoil &spoil = spoils()[std::size_t(which)];
    QTemporaryDir dir;
    const QDir old(dir.filePath(QStringLiteral("antigua")));
    OldCatalogue source = OldCatalogue::sample();
    spoil.alter(source);
    source.write(old.path());
    spoil.spoil(old);

    const QString folder = dir.filePath(QStringLiteral("nueva"));
    for (int round = 0; round < 2; ++round) {
        try {
            migrateParadox(old.path(), folder, std::nullopt);
            QFAIL("la migración debía fallar");
        } catch (const store::Error &e) {
            QVERIFY2(e.message().startsWith(QString::fromUtf8(spoil.message)), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QString::fromUtf8(spoil.reason)), qPrintable(e.message()));
        }
        // Nothing is left behind: no folder when there was none, an empty one when it was.
        if (round == 0) {
            QVERIFY(!QFileInfo::exists(folder));
            QDir().mkpath(folder);
        } else {
            QCOMPARE(entries(folder), QStringList());
        }
    }
}

void TestParadox::refusesAnOccupiedTarget()
{
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("antigua"));
    OldCatalogue::sample().write(old);
    for (const char *name : {"Config.Dat", "Repertorio", "Rel.db"}) {
        const QString folder = dir.filePath(QString::fromLatin1(name).remove(QLatin1Char('.')));
        QDir().mkpath(folder);
        writeAll(QDir(folder).filePath(QString::fromLatin1(name)), "mío");
        try {
            migrateParadox(old, folder, std::nullopt);
            QFAIL("debía fallar");
        } catch (const store::Error &e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("Ya existe")) && e.message().contains(QLatin1String(name)),
                     qPrintable(e.message()));
        }
        QCOMPARE(entries(folder), QStringList{QString::fromLatin1(name)});
        QCOMPARE(readAll(QDir(folder).filePath(QString::fromLatin1(name))), QByteArray("mío"));
    }
    // The old folder itself already holds Config.Dat: the tables cannot be made beside the old ones.
    QVERIFY_THROWS_EXCEPTION(store::Error, migrateParadox(old, old, std::nullopt));
    QVERIFY(!QFileInfo::exists(QDir(old).filePath(QStringLiteral("RepFlor.db"))));
}

void TestParadox::syntheticCatalogue()
{
    // The catalogue the measurements use, at a size the tests can afford.
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("antigua"));
    writeParadoxCatalogue(old, 60, 400, 7, 3);
    const MigrationReport report = migrateParadox(old, dir.filePath(QStringLiteral("nueva")), std::nullopt);
    QCOMPARE(report.flowers, 60);
    QCOMPARE(report.photos, 60);
    QCOMPARE(report.symptoms, 400);
    QCOMPARE(report.links, 2800);
    QCOMPARE(report.notes, QStringList());
    QCOMPARE(verifyTables(dir.filePath(QStringLiteral("nueva"))), QStringList());
    const QList<QVariantList> flores = dumpTable(dir.filePath(QStringLiteral("nueva")), catalogue::floresDef());
    QCOMPARE(flores[49][5].toString().count(QLatin1Char('\n')), flores[49][5].toString().count(QStringLiteral("Indicada")));
    QVERIFY(flores[49][5].toString().size() > 2048); // one of the long memos
}

void TestParadox::commandLine()
{
    QTemporaryDir dir;
    const QString old = dir.filePath(QStringLiteral("antigua"));
    OldCatalogue source = OldCatalogue::sample();
    source.password = "tarnok";
    source.write(old);
    auto run = [](const QStringList &args, QString *out = nullptr, QString *err = nullptr) {
        QProcess p;
        p.start(QStringLiteral(VANTOLIA_TABLETOOL), args);
        if (!p.waitForFinished(120000))
            return -1;
        if (out)
            *out = QString::fromUtf8(p.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(p.readAllStandardError());
        return p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    };
    const QString folder = dir.filePath(QStringLiteral("nueva"));
    QString out, err;
    QCOMPARE(run({QStringLiteral("migrar"), old, folder}, &out, &err), 1);
    QVERIFY2(err.contains(QStringLiteral("vantolia-tablas: Flores.db: la tabla está protegida con contraseña")), qPrintable(err));
    QCOMPARE(run({QStringLiteral("migrar"), old, folder, QStringLiteral("--clave")}, &out, &err), 2);
    QVERIFY(err.contains(QStringLiteral("--clave necesita la contraseña")));
    QCOMPARE(run({QStringLiteral("verificar"), folder, QStringLiteral("--clave"), QStringLiteral("x")}, &out, &err), 2);
    QVERIFY(!QFileInfo::exists(folder));

    QCOMPARE(run({QStringLiteral("migrar"), old, folder, QStringLiteral("--clave"), QStringLiteral("tarnok")}, &out, &err), 0);
    for (const QString &line : {QStringLiteral("Flores.db: 5 flores, 3 fotos"), QStringLiteral("Sintomas.db: 7 síntomas"),
                                QStringLiteral("Rel.db: 7 enlaces"), QStringLiteral("Config.Dat: copiado"),
                                QStringLiteral("Repertorio: copiado, con 2 archivos de selecciones guardadas"),
                                QStringLiteral("Abiertas con la contraseña: Flores.db, Sintomas.db, Rel.db"),
                                QStringLiteral("Rel.db: enlaces repetidos, que no se traen: 1")})
        QVERIFY2(out.contains(line), qPrintable(out));
    QCOMPARE(run({QStringLiteral("verificar"), folder}, &out), 0);
    QVERIFY2(out.contains(QStringLiteral("Tablas correctas: 5 flores, 7 síntomas, 7 enlaces")), qPrintable(out));
}

QTEST_GUILESS_MAIN(TestParadox)
#include "test_paradox.moc"
