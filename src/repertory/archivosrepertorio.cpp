#include "archivosrepertorio.h"

#include "app/dialogs.h"
#include "app/errorbox.h"
#include "archivosrep.h"
#include "catalogue/catalogo.h"
#include "processing.h"
#include "seleccion.h"
#include "tfselarch.h"

#include <QAbstractButton>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

namespace {

// The selection's and the result's grids stop refreshing for as long as this lives, however
// the loading ends.
class SuspenderRefresco
{
public:
    SuspenderRefresco(store::View &a, store::View &b) : m_a(a), m_b(b)
    {
        m_a.disableControls();
        m_b.disableControls();
    }
    ~SuspenderRefresco()
    {
        m_b.enableControls();
        m_a.enableControls();
    }
    SuspenderRefresco(const SuspenderRefresco &) = delete;
    SuspenderRefresco &operator=(const SuspenderRefresco &) = delete;

private:
    store::View &m_a;
    store::View &m_b;
};

} // namespace

ArchivosRepertorio::ArchivosRepertorio(Catalogo &catalogo, Seleccion &sel, TFSelArch &chooser,
                                       const ControlesPaciente &controles, QObject *parent)
    : QObject(parent), c(catalogo), seleccion(sel), selector(chooser), w(controles)
{
}

bool ArchivosRepertorio::modoPaciente() const
{
    return !w.PanPac->isHidden() && w.ChPac->isChecked();
}

void ArchivosRepertorio::GuardarClick()
{
    try {
        GuardarRepertorio();
    } catch (const repertorio::ErrorArchivo &e) {
        mostrarError(e.mensaje());
    }
}

void ArchivosRepertorio::AbrirClick()
{
    QString fallo;
    try {
        AbrirRepertorio();
    } catch (const std::exception &e) {
        fallo = QString::fromUtf8(e.what());
    }
    // Whatever was loaded before a fault is the selection now.
    seleccion.habilitarSegunSeleccion();
    if (!fallo.isEmpty())
        mostrarError(fallo);
}

void ArchivosRepertorio::GuardarRepertorio()
{
    QString ruta;
    if (modoPaciente()) {
        ruta = ArchPaciente;
    } else {
        selector.ListarArchivos();
        selector.prepararGuardar();
        if (!selector.ejecutar())
            return;
        const QString nombre = selector.Ed->text();
        // A typed name must not write outside the folder or over a patient's file.
        if (const QString motivo = repertorio::motivoNombreRechazado(nombre); !motivo.isEmpty()) {
            Aviso(motivo);
            return;
        }
        ruta = repertorio::rutaRepertorio(nombre);
    }
    repertorio::guardarClaves(ruta, repertorio::clavesSeleccionadas(c));
}

void ArchivosRepertorio::AbrirRepertorio()
{
    if (modoPaciente()) {
        CargarRepertorio(ArchPaciente);
        return;
    }
    if (selector.ListarArchivos() == 0) {
        Aviso(QStringLiteral("No hay archivos guardados"));
        return;
    }
    selector.prepararAbrir();
    if (!selector.ejecutar())
        return;
    CargarRepertorio(repertorio::rutaRepertorio(selector.Ed->text()));
}

void ArchivosRepertorio::CargarRepertorio(const QString &ruta)
{
    c.vaciarSeleccion();
    c.vaciarResultado();
    // A patient with nothing stored yet simply starts with an empty selection.
    if (!QFileInfo::exists(ruta))
        return;
    SuspenderRefresco suspender(c.TRepS, c.TRepF);
    const repertorio::LecturaClaves lectura = repertorio::leerClaves(ruta);
    // Looked up among all symptoms, whatever the search shows.
    const store::Table &sintomas = *c.TSintNombres.table();
    const repertorio::ClavesACargar carga = repertorio::clavesACargar(
        lectura.claves, [&sintomas](qint32 clave) { return sintomas.findPrimary(clave).has_value(); });
    std::vector<store::Record> filas;
    filas.reserve(carga.claves.size());
    for (const qint32 clave : carga.claves)
        filas.push_back(store::Record{{clave}, {true}});
    c.TRepS.table()->insertMany(filas);
    if (carga.repetida)
        throw repertorio::ErrorArchivo(
            QStringLiteral("El archivo %1 tiene el síntoma %2 más de una vez: solo se cargaron los síntomas anteriores")
                .arg(ruta)
                .arg(*carga.repetida));
    if (!lectura.error.isEmpty())
        throw repertorio::ErrorArchivo(lectura.error);
}

void ArchivosRepertorio::LeerPaciente()
{
    std::optional<repertorio::Paciente> paciente;
    try {
        paciente = repertorio::leerPaciente(repertorio::rutaArchivoPaciente());
    } catch (const repertorio::ErrorArchivo &e) {
        // A file that is there but cannot be read leaves the panel as it was.
        mostrarError(e.mensaje());
        return;
    }
    if (paciente) {
        ArchPaciente = repertorio::rutaPaciente(paciente->numero);
        w.LabPac->setText(paciente->nombre);
    }
    w.PanPac->setVisible(bool(paciente));
}
