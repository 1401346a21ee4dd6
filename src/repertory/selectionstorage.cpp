#include "selectionstorage.h"

#include "ui/messageboxes.h"
#include "ui/application.h"
#include "selectionfiles.h"
#include "catalogue/catalogue.h"
#include "processing.h"
#include "store/error.h"
#include "selection.h"
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

SelectionStorage::SelectionStorage(Catalogue &catalogue, Selection &sel, TFSelArch &chooser,
                                       const PatientControls &controles, QObject *parent)
    : QObject(parent), c(catalogue), seleccion(sel), selector(chooser), w(controles)
{
}

bool SelectionStorage::patientMode() const
{
    return !w.PanPac->isHidden() && w.ChPac->isChecked();
}

void SelectionStorage::GuardarClick()
{
    try {
        GuardarRepertorio();
    } catch (const store::Error &e) {
        showError(e.message());
    }
}

void SelectionStorage::AbrirClick()
{
    QString fallo;
    try {
        AbrirRepertorio();
    } catch (const std::exception &e) {
        fallo = store::errorText(e);
    }
    // Whatever was loaded before a fault is the selection now.
    seleccion.enableBySelection();
    if (!fallo.isEmpty())
        showError(fallo);
}

void SelectionStorage::GuardarRepertorio()
{
    QString ruta;
    if (patientMode()) {
        ruta = ArchPaciente;
    } else {
        selector.ListarArchivos();
        selector.prepareSave();
        if (!selector.run())
            return;
        const QString nombre = selector.Ed->text();
        // A typed name must not write outside the folder or over a patient's file.
        if (const QString motivo = repertory::nameRefusal(nombre); !motivo.isEmpty()) {
            Aviso(motivo);
            return;
        }
        ruta = repertory::repertoryPath(nombre);
    }
    repertory::saveKeys(ruta, repertory::selectedKeys(c));
}

void SelectionStorage::AbrirRepertorio()
{
    if (patientMode()) {
        CargarRepertorio(ArchPaciente);
        return;
    }
    if (selector.ListarArchivos() == 0) {
        Aviso(QStringLiteral("No hay archivos guardados"));
        return;
    }
    selector.prepareOpen();
    if (!selector.run())
        return;
    CargarRepertorio(repertory::repertoryPath(selector.Ed->text()));
}

void SelectionStorage::CargarRepertorio(const QString &ruta)
{
    c.emptySelection();
    c.emptyResult();
    // A patient with nothing stored yet simply starts with an empty selection.
    if (!QFileInfo::exists(ruta))
        return;
    SuspenderRefresco suspender(c.TRepS, c.TRepF);
    const repertory::KeysRead lectura = repertory::readKeys(ruta);
    // Looked up among all symptoms, whatever the search shows.
    const store::Table &sintomas = *c.TSintNames.table();
    const repertory::KeysToLoad carga = repertory::keysToLoad(
        lectura.keys, [&sintomas](qint32 clave) { return sintomas.findPrimary(clave).has_value(); });
    std::vector<store::Record> filas;
    filas.reserve(carga.keys.size());
    for (const qint32 clave : carga.keys)
        filas.push_back(store::Record{{clave}, {true}});
    c.TRepS.table()->insertMany(filas);
    if (carga.repeated)
        throw store::Error(
            QStringLiteral("El archivo %1 tiene el síntoma %2 más de una vez: solo se cargaron los síntomas anteriores")
                .arg(ruta)
                .arg(*carga.repeated));
    if (!lectura.error.isEmpty())
        throw store::Error(lectura.error);
}

void SelectionStorage::LeerPaciente()
{
    std::optional<repertory::Patient> paciente;
    try {
        paciente = repertory::readPatient(repertory::patientFilePath());
    } catch (const store::Error &e) {
        // A file that is there but cannot be read leaves the panel as it was.
        showError(e.message());
        return;
    }
    if (paciente) {
        ArchPaciente = repertory::patientPath(paciente->number);
        w.LabPac->setText(paciente->name);
    }
    w.PanPac->setVisible(bool(paciente));
}
