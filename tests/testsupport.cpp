#include "testsupport.h"

#include "catalogue/catalogue.h"
#include "store/error.h"
#include "tabletool.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>

QString importFixture(const QString &carpeta)
{
    tabletool::importCsv(QStringLiteral(VANTOLIA_TEST_DATA), carpeta);
    return carpeta;
}

WorkingFolder::WorkingFolder()
{
    if (!m_dir.isValid())
        throw store::Error(QStringLiteral("No se puede crear una carpeta temporal: %1").arg(m_dir.errorString()));
    importFixture(m_dir.path());
    m_anterior = QDir::currentPath();
    if (!QDir::setCurrent(m_dir.path()))
        throw store::Error(QStringLiteral("No se puede entrar en la carpeta %1").arg(m_dir.path()));
}

WorkingFolder::~WorkingFolder()
{
    QDir::setCurrent(m_anterior);
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
