#include "testsupport.h"

#include "store/error.h"
#include "tabletool.h"

#include <QDir>

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
