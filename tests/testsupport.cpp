#include "testsupport.h"

#include "catalogue/catalogue.h"
#include "store/error.h"
#include "store/tablefile.h"
#include "tabletool.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>

QString importFixture(const QString &folder)
{
    tabletool::importCsv(QStringLiteral(VANTOLIA_TEST_DATA), folder);
    return folder;
}

WorkingFolder::WorkingFolder()
{
    if (!m_dir.isValid())
        throw store::Error(QStringLiteral("No se puede crear una folder temporal: %1").arg(m_dir.errorString()));
    importFixture(m_dir.path());
    m_previous = QDir::currentPath();
    if (!QDir::setCurrent(m_dir.path()))
        throw store::Error(QStringLiteral("No se puede entrar en la folder %1").arg(m_dir.path()));
}

WorkingFolder::~WorkingFolder()
{
    QDir::setCurrent(m_previous);
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    return f.readAll();
}

void writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(data) != data.size())
        qFatal("cannot write %s", qPrintable(path));
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

TableRows dumpTable(const QString &folder, const store::TableDef &def)
{
    store::TableFile file =
        store::TableFile::open(QDir(folder).filePath(def.fileName()), def, store::TableFile::Durability::Full);
    QStringList fields;
    for (const store::FieldDef &f : def.fields)
        fields << f.name;
    store::Statement st =
        file.prepare(QStringLiteral("SELECT %1 FROM %2 ORDER BY rowid").arg(fields.join(QLatin1Char(',')), def.tableName));
    TableRows rows;
    while (st.step()) {
        QVariantList row;
        for (int c = 0; c < int(def.fields.size()); ++c) {
            const store::FieldDef &f = def.fields[std::size_t(c)];
            if (st.isNull(c))
                row << QVariant();
            else if (f.isNumeric())
                row << st.integer(c);
            else if (f.type == store::FieldType::Graphic)
                row << st.blob(c);
            else
                row << st.text(c);
        }
        rows << row;
    }
    return rows;
}

void chooseSymptoms(Catalogue &c, const std::vector<qint32> &keys)
{
    std::vector<store::Record> rows;
    for (const qint32 k : keys)
        rows.push_back({{k}, {true}});
    c.TRepS.table()->insertMany(rows);
}

namespace {

// What one of poppler's tools prints about the file; a missing tool ends the run, since
// without it nothing printed could be checked.
QString popplerOutput(const QString &tool, const QStringList &arguments)
{
    QProcess run;
    run.start(tool, arguments);
    if (!run.waitForStarted())
        qFatal("%s is missing: install Debian's poppler-utils (scripts/dependencies.sh)", qPrintable(tool));
    run.waitForFinished(60000);
    return QString::fromUtf8(run.readAllStandardOutput());
}

} // namespace

QStringList pdfPages(const QString &path)
{
    // Read as laid out, so that a row of a table comes out as one line; pdftotext ends every
    // page with a form feed.
    QStringList pages = popplerOutput(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), QStringLiteral("-enc"),
                                                                    QStringLiteral("UTF-8"), path, QStringLiteral("-")})
                            .split(u'\f');
    pages.removeLast();
    for (QString &page : pages)
        page = page.simplified();
    return pages;
}

QString pdfPageSize(const QString &path)
{
    const QString info = popplerOutput(QStringLiteral("pdfinfo"), {path});
    const QRegularExpressionMatch size = QRegularExpression(QStringLiteral("Page size:\\s*(.*)")).match(info);
    return size.hasMatch() ? size.captured(1).trimmed() : QString();
}
