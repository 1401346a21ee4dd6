#include "selectionstorage.h"

#include "ui/messageboxes.h"
#include "ui/application.h"
#include "selectionfiles.h"
#include "catalogue/catalogue.h"
#include "processing.h"
#include "store/error.h"
#include "store/regularfile.h"
#include "tfselarch.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

namespace {

// The selection's and the result's grids stop refreshing for as long as this lives, however
// the loading ends.
class ControlsSuspended
{
public:
    ControlsSuspended(store::View &a, store::View &b) : m_a(a), m_b(b)
    {
        m_a.disableControls();
        m_b.disableControls();
    }
    ~ControlsSuspended()
    {
        m_b.enableControls();
        m_a.enableControls();
    }
    ControlsSuspended(const ControlsSuspended &) = delete;
    ControlsSuspended &operator=(const ControlsSuspended &) = delete;

private:
    store::View &m_a;
    store::View &m_b;
};

} // namespace

SelectionStorage::SelectionStorage(Catalogue &catalogue, TFSelArch &chooser, QWidget *PanPac, QAbstractButton *ChPac,
                                   QLabel *LabPac, QObject *parent)
    : QObject(parent), m_catalogue(catalogue), m_chooser(chooser), m_patientPanel(PanPac), m_patientTick(ChPac),
      m_patientName(LabPac)
{
    // The name comes from another program's file: shown as it is written, never as markup,
    // which could make the label load a picture from any path.
    m_patientName->setTextFormat(Qt::PlainText);
}

bool SelectionStorage::patientMode() const
{
    return !m_patientPanel->isHidden() && m_patientTick->isChecked();
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
    QString failure;
    try {
        AbrirRepertorio();
    } catch (const std::exception &e) {
        failure = store::errorText(e);
    }
    // Whatever was loaded before a fault is the selection now.
    emit selectionLoaded();
    if (!failure.isEmpty())
        showError(failure);
}

void SelectionStorage::GuardarRepertorio()
{
    if (patientMode()) {
        repertory::saveKeys(store::nativePath(ArchPaciente), repertory::selectedKeys(m_catalogue));
        return;
    }
    m_chooser.ListarArchivos();
    m_chooser.prepareSave();
    if (!m_chooser.run())
        return;
    // A typed name must not write outside the folder or over a patient's file.
    if (const QString reason = repertory::nameRefusal(m_chooser.chosenName()); !reason.isEmpty()) {
        Aviso(reason);
        return;
    }
    repertory::saveKeys(m_chooser.chosenFile(), repertory::selectedKeys(m_catalogue));
}

void SelectionStorage::AbrirRepertorio()
{
    if (patientMode()) {
        CargarRepertorio(ArchPaciente);
        return;
    }
    if (m_chooser.ListarArchivos() == 0) {
        Aviso(QStringLiteral("No hay archivos guardados"));
        return;
    }
    m_chooser.prepareOpen();
    if (!m_chooser.run())
        return;
    CargarRepertorio(m_chooser.chosenFile());
}

void SelectionStorage::CargarRepertorio(const QString &path)
{
    CargarRepertorio(store::nativePath(path));
}

void SelectionStorage::CargarRepertorio(const QByteArray &path)
{
    // Read before anything changes: a file that is not a stored selection leaves the selection
    // and the result as they were.
    const repertory::KeysRead keysRead = repertory::readKeys(path);
    if (!keysRead.error.isEmpty())
        throw store::Error(keysRead.error);
    m_catalogue.emptySelection();
    m_catalogue.emptyResult();
    // A patient with nothing stored yet simply starts with an empty selection.
    if (keysRead.missing)
        return;
    ControlsSuspended suspended(m_catalogue.TRepS, m_catalogue.TRepF);
    // Looked up among all symptoms, whatever the search shows.
    const store::Table &symptoms = *m_catalogue.TSintNames.table();
    const repertory::KeysToLoad toLoad = repertory::keysToLoad(
        keysRead.keys, [&symptoms](qint32 key) { return symptoms.findPrimary(key).has_value(); });
    std::vector<store::Record> rows;
    rows.reserve(toLoad.keys.size());
    for (const qint32 key : toLoad.keys)
        rows.push_back(store::Record{{key}, {true}});
    m_catalogue.TRepS.table()->insertMany(rows);
    if (toLoad.repeated)
        throw store::Error(
            QStringLiteral("El archivo %1 tiene el síntoma %2 más de una vez: solo se cargaron los síntomas anteriores")
                .arg(store::shownPath(path))
                .arg(*toLoad.repeated));
}

void SelectionStorage::LeerPaciente()
{
    std::optional<repertory::Patient> patient;
    try {
        patient = repertory::readPatient(repertory::patientFilePath());
    } catch (const store::Error &e) {
        // A file that is there but cannot be read leaves the panel as it was.
        showError(e.message());
        return;
    }
    if (patient) {
        ArchPaciente = repertory::patientPath(patient->number);
        m_patientName->setText(patient->name);
    }
    m_patientPanel->setVisible(bool(patient));
}
