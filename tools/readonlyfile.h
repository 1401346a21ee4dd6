#pragma once

#include <QByteArray>
#include <QString>

namespace tabletool {

// A file opened for reading only, read by offset. Only a regular file is accepted, and opening
// cannot wait on a FIFO or a device. Faults throw store::Error "name: motivo".
class ReadOnlyFile
{
public:
    // `name` is how messages call the file.
    ReadOnlyFile(const QString &path, const QString &name);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile &) = delete;
    ReadOnlyFile &operator=(const ReadOnlyFile &) = delete;

    qint64 size() const { return m_size; }
    const QString &name() const { return m_name; }

    // Exactly `n` bytes from `at`; a file that ends sooner, or shrank meanwhile, fails.
    void read(qint64 at, char *into, qint64 n) const;
    // The same, checked against the size first, so that no absurd length is ever allocated.
    QByteArray read(qint64 at, qint64 n) const;

private:
    [[noreturn]] void failTruncated(qint64 end) const;

    QString m_name;
    int m_fd = -1;
    qint64 m_size = 0;
};

} // namespace tabletool
