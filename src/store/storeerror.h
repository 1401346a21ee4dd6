#pragma once

#include <QString>
#include <stdexcept>

namespace store {

// Every failure of the table store. The message is what the user reads in the error box.
class StoreError : public std::runtime_error
{
public:
    explicit StoreError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message)
    {
    }
    QString message() const { return m_message; }

private:
    QString m_message;
};

// Messages that callers and users rely on word for word.
inline const char *const kEmptyDataset = "Cannot perform this operation on an empty dataset";
inline const char *const kKeyViolation = "Key violation";

QString notAnIntegerMessage(const QString &text);

} // namespace store
