#include "settingsfile.h"

#include "store/error.h"
#include "store/regularfile.h"
#include "store/wholefile.h"

#include <QDir>

#include <algorithm>
#include <optional>

namespace settingsfile {
namespace {

// Fourteen short numbers: anything much larger is not a settings file, and is not read whole.
constexpr qint64 kLargestFile = 4096;
constexpr qsizetype kQuotedLength = 80;
constexpr int kFarthest = 1 << 20;

QList<int> asList(const Settings &s)
{
    QList<int> values{s.window.x(), s.window.y(), s.window.width(), s.window.height()};
    for (const int panel : s.panels)
        values << panel;
    values << s.scheme << s.textSize;
    return values;
}

QList<QByteArray> splitLines(const QByteArray &bytes)
{
    QList<QByteArray> lines;
    qsizetype start = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] != '\r' && bytes[i] != '\n')
            continue;
        lines << bytes.mid(start, i - start);
        if (bytes[i] == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    if (start < bytes.size())
        lines << bytes.mid(start);
    return lines;
}

// A signed decimal integer that fits 32 bits, and nothing else on the line.
std::optional<int> integerOf(const QByteArray &line)
{
    bool ok = false;
    const int value = line.toInt(&ok, 10);
    const bool plain = !line.isEmpty() && !line.contains(' ') && !line.contains('\t');
    return ok && plain ? std::optional<int>(value) : std::nullopt;
}

// At most kQuotedLength characters of a line, read as the code page of the file's other
// programs would write it.
QString quoted(const QByteArray &line)
{
    const QString text = store::decodedName(line);
    return text.size() > kQuotedLength ? text.left(kQuotedLength - 1) + QChar(0x2026) : text;
}

QString fileName(const QString &folder)
{
    return QDir(folder).filePath(QLatin1String(kFileName));
}

} // namespace

QByteArray format(const Settings &settings)
{
    QByteArray bytes;
    for (const int value : asList(settings))
        bytes += QByteArray::number(value) + "\r\n";
    return bytes;
}

Lines parse(const QByteArray &bytes)
{
    Lines result;
    const QList<QByteArray> lines = splitLines(bytes);
    for (int i = 0; i < kLineCount; ++i) {
        if (i >= lines.size()) {
            result.error = QStringLiteral("List index out of bounds (%1)").arg(i);
            break;
        }
        const std::optional<int> value = integerOf(lines[i]);
        if (!value) {
            // A line of a file edited by hand, or of another program's file: quoted, never whole.
            result.error = store::notAnIntegerMessage(quoted(lines[i]));
            break;
        }
        result.values << *value;
    }
    return result;
}

Settings apply(Settings s, const QList<int> &values)
{
    const auto has = [&values](int i) { return i < values.size(); };
    // A hand-edited file may hold any 32-bit number; the window's edges are kept where their
    // sums cannot overflow, far beyond any screen, and visible() brings them back.
    const auto bounded = [&values](int i) { return std::clamp(values[i], -kFarthest, kFarthest); };
    if (has(0))
        s.window.moveLeft(bounded(0));
    if (has(1))
        s.window.moveTop(bounded(1));
    if (has(2))
        s.window.setWidth(bounded(2));
    if (has(3))
        s.window.setHeight(bounded(3));
    for (int p = 0; p < kPanelCount && has(4 + p); ++p)
        s.panels[std::size_t(p)] = values[4 + p];
    if (has(12))
        s.scheme = quint8(values[12] & 0xFF);
    if (has(13))
        s.textSize = quint8(values[13] & 0xFF);
    return s;
}

Settings visible(Settings s, const QList<QRect> &screens, const Settings &designed)
{
    if (screens.isEmpty())
        return s;
    const QRect first = screens.constFirst();
    // No window smaller than a quarter of the designed one, none larger than the first screen.
    const QSize smallest = designed.window.size() / 2;
    QSize size = s.window.size().expandedTo(smallest).boundedTo(first.size());
    QRect window(s.window.topLeft(), size);
    bool reachable = false;
    for (const QRect &screen : screens) {
        const QRect seen = screen.intersected(window);
        // The title bar must be reachable: the top edge on a screen, and enough of the window shown.
        if (seen.width() >= kVisibleMargin && seen.height() >= kVisibleMargin && screen.contains(QPoint(seen.x(), window.y())))
            reachable = true;
    }
    if (!reachable)
        window.moveCenter(first.center());
    s.window = window;

    const int longest = std::max(window.width(), window.height());
    for (std::size_t p = 0; p < s.panels.size(); ++p)
        if (s.panels[p] < kMinimumPanel || s.panels[p] > longest)
            s.panels[p] = designed.panels[p];
    return s;
}

FileRead read(const QString &folder)
{
    FileRead result;
    const QByteArray path = store::nativePath(fileName(folder));
    const store::RegularFileRead file = store::readRegularFile(path, kLargestFile);
    if (file.kind == store::RegularFileRead::Missing)
        return result;
    result.exists = true;
    if (file.kind == store::RegularFileRead::NotRegular)
        throw store::Error(QStringLiteral("%1 no es un archivo común: se deja la disposición de la ventana como está")
                               .arg(store::shownPath(path)));
    result.lines = parse(file.bytes);
    return result;
}

QString write(const QString &folder, const Settings &settings)
{
    try {
        store::saveWholeFile(fileName(folder), format(settings));
    } catch (const store::Error &e) {
        return QStringLiteral("No se pudo guardar la configuración: %1").arg(e.message());
    }
    return {};
}

} // namespace settingsfile
