#include "testsupport.h"

#include "store/storeerror.h"
#include "tablas.h"

#include <QDir>

QString importarFixture(const QString &carpeta)
{
    tablas::importarCsv(QStringLiteral(VANTOLIA_TEST_DATA), carpeta);
    return carpeta;
}

CarpetaDeTrabajo::CarpetaDeTrabajo()
{
    if (!m_dir.isValid())
        throw store::StoreError(QStringLiteral("No se puede crear una carpeta temporal: %1").arg(m_dir.errorString()));
    importarFixture(m_dir.path());
    m_anterior = QDir::currentPath();
    if (!QDir::setCurrent(m_dir.path()))
        throw store::StoreError(QStringLiteral("No se puede entrar en la carpeta %1").arg(m_dir.path()));
}

CarpetaDeTrabajo::~CarpetaDeTrabajo()
{
    QDir::setCurrent(m_anterior);
}
