#pragma once

#include <QString>
#include <QTemporaryDir>

// The fixture catalogue of tests/data (nine flowers, fourteen symptoms, eighteen links, one
// photo), imported into `folder` by the same code as the command-line tool. Returns the folder;
// throws store::Error when the import fails.
QString importFixture(const QString &folder);

// A temporary folder holding the fixture tables, made the process's current folder (where the
// application looks for its tables) for as long as this object lives.
class WorkingFolder
{
public:
    WorkingFolder();
    ~WorkingFolder();
    WorkingFolder(const WorkingFolder &) = delete;
    WorkingFolder &operator=(const WorkingFolder &) = delete;

    QString path() const { return m_dir.path(); }

private:
    QTemporaryDir m_dir;
    QString m_previous;
};
