#include "csvwriter.h"

namespace tabletool {
namespace {

void appendField(QByteArray &line, const QString &text)
{
    const bool quotes = text.contains(QLatin1Char(',')) || text.contains(QLatin1Char('"'))
        || text.contains(QLatin1Char('\n')) || text.contains(QLatin1Char('\r'))
        || (!text.isEmpty() && (text.front().isSpace() || text.back().isSpace()))
        // At the start of a file it would read as the file's byte order mark.
        || text.startsWith(QChar(0xFEFF));
    if (!quotes) {
        line += text.toUtf8();
        return;
    }
    QString doubled = text;
    doubled.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    line += '"';
    line += doubled.toUtf8();
    line += '"';
}

} // namespace

void appendRow(QByteArray &out, const QStringList &fields)
{
    if (fields.size() == 1 && fields.front().isEmpty()) {
        out += "\"\"\r\n";
        return;
    }
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            out += ',';
        appendField(out, fields[i]);
    }
    out += "\r\n";
}

} // namespace tabletool
