#include "testsupport.h"

#include "store/error.h"
#include "tabletool.h"

#include <QDir>

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
