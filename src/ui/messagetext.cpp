#include "messagetext.h"

QString errorBoxText(const QString &message)
{
    // A plain code comparison, not a collation: ',' and ')' stay, '?' gets its stop.
    if (!message.isEmpty() && message.back() > QLatin1Char('.'))
        return message + QLatin1Char('.');
    return message;
}

QString displayText(const QString &text)
{
    QString result = text;
    result.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}
