#pragma once

#include <QString>

#include <exception>
#include <stdexcept>

namespace store {

// Every failure the program reports in words: the table store's, a file's, an import's. The
// message is what the user reads in the error box or on the terminal.
class Error : public std::runtime_error
{
public:
    explicit Error(const QString &message) : std::runtime_error(message.toStdString()), m_message(message) { }
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// What the user reads for any exception: an Error's own message, anything else's description.
QString errorText(const std::exception &error);

// Messages that callers and users rely on word for word.
inline const char *const kEmptyDataset = "Cannot perform this operation on an empty dataset";
inline const char *const kKeyViolation = "Key violation";

QString notAnIntegerMessage(const QString &text);
QString outOfRangeMessage(qint64 number, const QString &field);

} // namespace store
