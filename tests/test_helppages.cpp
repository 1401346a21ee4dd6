// The help is a folder of HTML pages that the desktop's viewer opens from the working folder,
// with no server and no network behind it. So every link and picture has to resolve to a file
// inside that folder, every page has to say that it is UTF-8 (a viewer that guesses shows the
// accents as garbage), and from the contents page and the navigation bar every page must be
// reachable. The checker is first shown to catch each kind of fault on small made-up pages,
// then run over the real help.
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <map>
#include <utility>

namespace {

const QString kHelpFolder = QStringLiteral(VANTOLIA_HELP_PAGES);

struct Tag
{
    QString name;
    QHash<QString, QString> attributes;
    qsizetype offset = 0; // in the page's text
    int line = 0;
};

struct Page
{
    bool readable = false;
    bool utf8 = false;
    QString text;
    QList<Tag> tags;
    QList<Tag> navTags;
    bool hasNav = false;
    QString title;
    QSet<QString> ids;
    QStringList repeatedIds;
    qsizetype charsetOffset = -1; // bytes before the charset declaration, -1 when there is none
};

// HTML's keywords (charset names, link kinds) are the same in any case.
bool sameWord(const QString &value, const char *word)
{
    return value.compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

QString decodeEntities(QString s)
{
    s.replace(QLatin1String("&quot;"), QLatin1String("\""));
    s.replace(QLatin1String("&#39;"), QLatin1String("'"));
    s.replace(QLatin1String("&lt;"), QLatin1String("<"));
    s.replace(QLatin1String("&gt;"), QLatin1String(">"));
    s.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return s;
}

// Comments hide their tags; they are blanked with their line breaks kept, so that the lines
// reported still match the file.
QString withoutComments(const QString &text)
{
    QString out = text;
    qsizetype from = 0;
    while ((from = out.indexOf(QLatin1String("<!--"), from)) >= 0) {
        qsizetype end = out.indexOf(QLatin1String("-->"), from + 4);
        end = end < 0 ? out.size() : end + 3;
        for (qsizetype i = from; i < end; ++i)
            if (out[i] != QLatin1Char('\n'))
                out[i] = QLatin1Char(' ');
        from = end;
    }
    return out;
}

QList<Tag> tagsOf(const QString &text, qsizetype offset, const QString &whole)
{
    static const QRegularExpression tagPattern(
        QStringLiteral("<([A-Za-z][A-Za-z0-9]*)((?:\\s+[^\\s=>/\"']+(?:\\s*=\\s*(?:\"[^\"]*\"|'[^']*'|[^\\s\"'>]+))?)*)\\s*/?>"));
    static const QRegularExpression attributePattern(
        QStringLiteral("([^\\s=>/\"']+)(?:\\s*=\\s*(?:\"([^\"]*)\"|'([^']*)'|([^\\s\"'>]+)))?"));
    QList<Tag> tags;
    for (auto it = tagPattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        Tag tag;
        tag.name = m.captured(1).toLower();
        tag.offset = offset + m.capturedStart();
        tag.line = int(QStringView(whole).left(tag.offset).count(QLatin1Char('\n'))) + 1;
        for (auto a = attributePattern.globalMatch(m.captured(2)); a.hasNext();) {
            const QRegularExpressionMatch am = a.next();
            QString value = am.captured(2);
            if (value.isNull())
                value = am.captured(3);
            if (value.isNull())
                value = am.captured(4);
            tag.attributes.insert(am.captured(1).toLower(), decodeEntities(value));
        }
        tags << tag;
    }
    return tags;
}

Page readPage(const QString &path)
{
    Page page;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return page;
    page.readable = true;
    const QByteArray bytes = file.readAll();
    QStringDecoder decoder(QStringDecoder::Utf8);
    page.text = decoder.decode(bytes);
    page.utf8 = !decoder.hasError();

    const QString text = withoutComments(page.text);
    page.tags = tagsOf(text, 0, text);

    static const QRegularExpression navPattern(QStringLiteral("<nav\\b[^>]*>(.*?)</nav\\s*>"),
                                               QRegularExpression::CaseInsensitiveOption
                                                   | QRegularExpression::DotMatchesEverythingOption);
    for (auto it = navPattern.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        page.hasNav = true;
        page.navTags << tagsOf(m.captured(1), m.capturedStart(1), text);
    }

    static const QRegularExpression titlePattern(QStringLiteral("<title\\b[^>]*>(.*?)</title\\s*>"),
                                                 QRegularExpression::CaseInsensitiveOption
                                                     | QRegularExpression::DotMatchesEverythingOption);
    page.title = titlePattern.match(text).captured(1).simplified();

    for (const Tag &tag : std::as_const(page.tags)) {
        const QString id = tag.attributes.value(QStringLiteral("id"));
        if (!id.isEmpty()) {
            if (page.ids.contains(id))
                page.repeatedIds << id;
            page.ids.insert(id);
        }
        const bool declaresCharset =
            tag.name == QLatin1String("meta")
            && (sameWord(tag.attributes.value(QStringLiteral("charset")), "utf-8")
                || tag.attributes.value(QStringLiteral("content"))
                       .contains(QLatin1String("charset=utf-8"), Qt::CaseInsensitive));
        if (declaresCharset && page.charsetOffset < 0)
            page.charsetOffset = page.text.left(tag.offset).toUtf8().size();
    }
    return page;
}

// Where one href or src leads inside the help, or why it cannot.
struct Target
{
    QString file; // absolute, cleaned; empty when the reference is refused
    QString fragment;
    QString refusal;
};

class HelpChecker
{
public:
    explicit HelpChecker(const QString &root) : m_root(QDir::cleanPath(QDir(root).absolutePath())) { }

    QStringList problems()
    {
        m_problems.clear();
        const QStringList pages = pageFiles();
        if (!pages.contains(QStringLiteral("index.htm")))
            report(QStringLiteral("index.htm"), 0, QStringLiteral("the contents page is missing"));
        QSet<QString> shownPictures;
        QString sharedStyle;
        for (const QString &name : pages)
            checkPage(name, shownPictures, sharedStyle);
        if (pages.contains(QStringLiteral("index.htm")))
            checkReachesEveryPage(QStringLiteral("index.htm"), page(absolute(QStringLiteral("index.htm"))).tags,
                                  pages, QStringLiteral("the contents page"));
        checkEveryPictureShown(shownPictures);
        return m_problems;
    }

private:
    QString m_root;
    std::map<QString, Page> m_pages;
    QStringList m_problems;

    QString absolute(const QString &relative) const { return m_root + QLatin1Char('/') + relative; }
    QString relative(const QString &file) const { return QDir(m_root).relativeFilePath(file); }

    void report(const QString &file, int line, const QString &what)
    {
        m_problems << (line > 0 ? QStringLiteral("%1:%2: %3").arg(file).arg(line).arg(what)
                                : QStringLiteral("%1: %2").arg(file, what));
    }

    const Page &page(const QString &file)
    {
        auto it = m_pages.find(file);
        if (it == m_pages.end())
            it = m_pages.emplace(file, readPage(file)).first;
        return it->second;
    }

    QStringList pageFiles() const
    {
        QStringList names;
        for (QDirIterator it(m_root, {QStringLiteral("*.htm"), QStringLiteral("*.html")}, QDir::Files,
                             QDirIterator::Subdirectories);
             it.hasNext();)
            names << relative(it.next());
        names.sort();
        return names;
    }

    Target resolve(const QString &fromFile, const QString &reference) const
    {
        static const QRegularExpression scheme(QStringLiteral("^[A-Za-z][A-Za-z0-9+.-]*:"));
        Target target;
        if (reference.trimmed().isEmpty()) {
            target.refusal = QStringLiteral("an empty reference");
            return target;
        }
        if (scheme.match(reference).hasMatch() || reference.startsWith(QLatin1String("//"))) {
            target.refusal = QStringLiteral("%1 leaves the help folder").arg(reference);
            return target;
        }
        if (reference.startsWith(QLatin1Char('/')) || reference.contains(QLatin1Char('\\'))) {
            target.refusal = QStringLiteral("%1 is not a relative address").arg(reference);
            return target;
        }
        const qsizetype hash = reference.indexOf(QLatin1Char('#'));
        const QString path = QUrl::fromPercentEncoding(reference.left(hash < 0 ? reference.size() : hash).toUtf8());
        target.fragment = hash < 0 ? QString() : QUrl::fromPercentEncoding(reference.mid(hash + 1).toUtf8());
        target.file = path.isEmpty() ? fromFile
                                     : QDir::cleanPath(QFileInfo(fromFile).absolutePath() + QLatin1Char('/') + path);
        if (!target.file.startsWith(m_root + QLatin1Char('/'))) {
            target.refusal = QStringLiteral("%1 points outside the help folder").arg(reference);
            target.file.clear();
        }
        return target;
    }

    void checkPage(const QString &name, QSet<QString> &shownPictures, QString &sharedStyle)
    {
        const QString file = absolute(name);
        const Page &p = page(file);
        if (!p.readable) {
            report(name, 0, QStringLiteral("cannot be read"));
            return;
        }
        if (!p.utf8)
            report(name, 0, QStringLiteral("is not valid UTF-8"));
        if (p.charsetOffset < 0)
            report(name, 0, QStringLiteral("does not declare <meta charset=\"utf-8\">"));
        else if (p.charsetOffset >= 1024)
            report(name, 0, QStringLiteral("declares its charset after the first 1024 bytes, where viewers stop looking"));
        if (p.title.isEmpty())
            report(name, 0, QStringLiteral("has no title"));
        for (const QString &id : p.repeatedIds)
            report(name, 0, QStringLiteral("the id %1 is given twice").arg(id));
        if (!p.hasNav)
            report(name, 0, QStringLiteral("has no navigation bar"));
        else
            checkReachesEveryPage(name, p.navTags, pageFiles(), QStringLiteral("the navigation bar"));

        int styles = 0;
        for (const Tag &tag : p.tags) {
            if (tag.name == QLatin1String("script"))
                report(name, tag.line, QStringLiteral("runs a script"));
            for (auto a = tag.attributes.cbegin(); a != tag.attributes.cend(); ++a)
                if (a.key().startsWith(QLatin1String("on")))
                    report(name, tag.line, QStringLiteral("runs a script in %1").arg(a.key()));
            if (tag.name == QLatin1String("img") && tag.attributes.value(QStringLiteral("alt")).trimmed().isEmpty())
                report(name, tag.line, QStringLiteral("a picture without a description (alt)"));

            for (const char *attribute : {"href", "src"}) {
                const auto value = tag.attributes.constFind(QLatin1String(attribute));
                if (value == tag.attributes.cend())
                    continue;
                const Target target = resolve(file, *value);
                if (!target.refusal.isEmpty()) {
                    report(name, tag.line, target.refusal);
                    continue;
                }
                if (!QFileInfo(target.file).isFile()) {
                    report(name, tag.line, QStringLiteral("%1 points to a file that does not exist").arg(*value));
                    continue;
                }
                if (tag.name == QLatin1String("img"))
                    shownPictures.insert(target.file);
                if (tag.name == QLatin1String("link")
                    && sameWord(tag.attributes.value(QStringLiteral("rel")), "stylesheet")) {
                    ++styles;
                    if (sharedStyle.isEmpty())
                        sharedStyle = target.file;
                    else if (sharedStyle != target.file)
                        report(name, tag.line, QStringLiteral("uses a stylesheet of its own: %1").arg(*value));
                }
                if (!target.fragment.isEmpty()) {
                    const QString suffix = QFileInfo(target.file).suffix().toLower();
                    if (suffix != QLatin1String("htm") && suffix != QLatin1String("html"))
                        report(name, tag.line, QStringLiteral("%1 points into a file that is not a page").arg(*value));
                    else if (!page(target.file).ids.contains(target.fragment))
                        report(name, tag.line, QStringLiteral("%1: no element has the id %2").arg(*value, target.fragment));
                }
            }
        }
        if (styles != 1)
            report(name, 0, QStringLiteral("links %1 stylesheets instead of the shared one").arg(styles));
    }

    void checkReachesEveryPage(const QString &name, const QList<Tag> &tags, const QStringList &pages, const QString &what)
    {
        QSet<QString> reached;
        for (const Tag &tag : tags) {
            if (tag.name != QLatin1String("a") || !tag.attributes.contains(QStringLiteral("href")))
                continue;
            const Target target = resolve(absolute(name), tag.attributes.value(QStringLiteral("href")));
            if (!target.file.isEmpty())
                reached.insert(relative(target.file));
        }
        for (const QString &other : pages)
            if (other != name && !reached.contains(other))
                report(name, 0, QStringLiteral("%1 does not link to %2").arg(what, other));
    }

    void checkEveryPictureShown(const QSet<QString> &shown)
    {
        for (QDirIterator it(m_root, {QStringLiteral("*.png"), QStringLiteral("*.jpg"), QStringLiteral("*.gif"),
                                      QStringLiteral("*.svg")},
                             QDir::Files, QDirIterator::Subdirectories);
             it.hasNext();) {
            const QString picture = QDir::cleanPath(it.next());
            if (!shown.contains(picture))
                report(relative(picture), 0, QStringLiteral("no page shows this picture"));
        }
    }
};

// A small help that passes every check; each case below spoils one thing in it.
const char *const kIndex = R"(<!DOCTYPE html>
<html lang="es"><head><meta charset="utf-8"><title>Ayuda</title>
<link rel="stylesheet" href="style.css"></head>
<body><nav><a href="index.htm">Inicio</a> <a href="search.htm">Buscar</a></nav>
<main><h1 id="top">Ayuda</h1><p>Véase <a href="search.htm#modes">los modos</a>.</p>
<img src="img/start.png" alt="La ventana al empezar"></main></body></html>
)";
const char *const kSearch = R"(<!DOCTYPE html>
<html lang="es"><head><meta charset="UTF-8"><title>Buscar síntomas</title>
<link rel="stylesheet" href="style.css"></head>
<body><nav><a href="index.htm">Inicio</a> <a href="search.htm">Buscar</a></nav>
<main><h2 id="modes">Modos</h2><p><a href="#modes">aquí</a> y <a href="index.htm#top">arriba</a>.</p></main></body></html>
)";

using Files = QMap<QString, QByteArray>;

Files goodHelp()
{
    return {{QStringLiteral("index.htm"), kIndex},
            {QStringLiteral("search.htm"), kSearch},
            {QStringLiteral("style.css"), "body { margin: 1em; }\n"},
            {QStringLiteral("img/start.png"), "not really a picture"}};
}

} // namespace

class TestHelpPages : public QObject
{
    Q_OBJECT

    static QStringList check(const Files &files)
    {
        QTemporaryDir dir;
        if (!dir.isValid())
            return {QStringLiteral("no temporary folder")};
        for (auto it = files.cbegin(); it != files.cend(); ++it) {
            const QString path = dir.filePath(it.key());
            QDir().mkpath(QFileInfo(path).absolutePath());
            QFile f(path);
            if (!f.open(QIODevice::WriteOnly) || f.write(it.value()) != it.value().size())
                return {QStringLiteral("cannot write %1").arg(path)};
        }
        return HelpChecker(dir.path()).problems();
    }

    static Files with(const QString &file, const char *from, const QByteArray &to)
    {
        Files files = goodHelp();
        files[file].replace(from, to);
        return files;
    }

private slots:
    void aSoundHelpPasses() { QCOMPARE(check(goodHelp()), QStringList()); }

    void eachFaultIsFound_data()
    {
        QTest::addColumn<Files>("files");
        QTest::addColumn<QString>("expected");
        const QString index = QStringLiteral("index.htm");
        const QString search = QStringLiteral("search.htm");
        auto row = [](const char *name, const Files &files, const char *expected) {
            QTest::newRow(name) << files << QString::fromUtf8(expected);
        };

        row("broken link", with(index, "search.htm#modes", "serch.htm#modes"),
            "index.htm:5: serch.htm#modes points to a file that does not exist");
        row("missing picture", with(index, "img/start.png\"", "img/inicio.png\""),
            "index.htm:6: img/inicio.png points to a file that does not exist");
        row("missing anchor in another page", with(index, "#modes", "#modos"),
            "index.htm:5: search.htm#modos: no element has the id modos");
        row("missing anchor in the same page", with(search, "href=\"#modes\"", "href=\"#mode\""),
            "search.htm:5: #mode: no element has the id mode");
        row("anchor in a comment is no anchor", with(search, "<h2 id=\"modes\">", "<!-- <h2 id=\"modes\"> --><h2>"),
            "search.htm:5: #modes: no element has the id modes");
        row("no charset", with(search, "<meta charset=\"UTF-8\">", ""),
            "search.htm: does not declare <meta charset=\"utf-8\">");
        row("another charset", with(search, "charset=\"UTF-8\"", "charset=\"iso-8859-1\""),
            "search.htm: does not declare <meta charset=\"utf-8\">");
        row("charset too late",
            with(search, "<meta charset=\"UTF-8\">",
                 "<meta name=\"x\" content=\"" + QByteArray(1100, 'x') + "\">\n<meta charset=\"UTF-8\">"),
            "search.htm: declares its charset after the first 1024 bytes, where viewers stop looking");
        row("not UTF-8", with(search, "síntomas", "s\xedntomas"), "search.htm: is not valid UTF-8");
        row("no title", with(search, "<title>Buscar síntomas</title>", ""), "search.htm: has no title");
        row("empty title", with(search, "<title>Buscar síntomas</title>", "<title>  </title>"),
            "search.htm: has no title");
        row("contents page misses a page", [] {
            Files f = goodHelp();
            f[QStringLiteral("photos.htm")] =
                QByteArray(kSearch).replace("id=\"modes\"", "id=\"fotos\"").replace("#modes", "#fotos");
            return f;
        }(), "index.htm: the contents page does not link to photos.htm");
        row("no contents page", [] {
            Files f = goodHelp();
            f.remove(QStringLiteral("index.htm"));
            return f;
        }(), "index.htm: the contents page is missing");
        row("no navigation bar", with(search, "<nav>", "<div>"), "search.htm: has no navigation bar");
        row("navigation bar misses a page", with(search, "<nav><a href=\"index.htm\">Inicio</a> ", "<nav>"),
            "search.htm: the navigation bar does not link to index.htm");
        row("outside the folder", with(index, "img/start.png", "../start.png"),
            "index.htm:6: ../start.png points outside the help folder");
        row("external resource", with(index, "img/start.png", "https://example.org/start.png"),
            "index.htm:6: https://example.org/start.png leaves the help folder");
        row("absolute path", with(index, "img/start.png", "/img/start.png"),
            "index.htm:6: /img/start.png is not a relative address");
        row("script", with(index, "</main>", "<script src=\"x.js\"></script></main>"), "index.htm:6: runs a script");
        row("picture without description", with(index, " alt=\"La ventana al empezar\"", ""),
            "index.htm:6: a picture without a description (alt)");
        row("picture no page shows", [] {
            Files f = goodHelp();
            f[QStringLiteral("img/old.png")] = "old";
            return f;
        }(), "img/old.png: no page shows this picture");
        row("repeated id", with(search, "<p>", "<p id=\"modes\">"), "search.htm: the id modes is given twice");
        row("second stylesheet", with(search, "</head>", "<link rel=\"stylesheet\" href=\"style.css\"></head>"),
            "search.htm: links 2 stylesheets instead of the shared one");
        row("a stylesheet of its own", [] {
            Files f = with(QStringLiteral("search.htm"), "href=\"style.css\"", "href=\"other.css\"");
            f[QStringLiteral("other.css")] = "p {}";
            return f;
        }(), "search.htm:3: uses a stylesheet of its own: other.css");
    }

    void eachFaultIsFound()
    {
        QFETCH(Files, files);
        QFETCH(QString, expected);
        const QStringList found = check(files);
        QVERIFY2(found.contains(expected), qPrintable(found.join(QLatin1Char('\n'))));
    }

    void percentEncodedNamesResolve()
    {
        Files files = goodHelp();
        files.remove(QStringLiteral("img/start.png"));
        files[QStringLiteral("img/la ventana.png")] = "x";
        files[QStringLiteral("index.htm")].replace("img/start.png", "img/la%20ventana.png");
        QCOMPARE(check(files), QStringList());
    }

    void theHelpHoldsTogether()
    {
        QVERIFY2(QFileInfo(kHelpFolder + QStringLiteral("/index.htm")).isFile(), qPrintable(kHelpFolder));
        const QStringList found = HelpChecker(kHelpFolder).problems();
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1Char('\n'))));
    }
};

QTEST_GUILESS_MAIN(TestHelpPages)
#include "test_helppages.moc"
