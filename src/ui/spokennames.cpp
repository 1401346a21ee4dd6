#include "spokennames.h"

#include <QAction>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QPushButton>
#include <QToolButton>
#include <QWidget>

void nameControl(QWidget *control, const char *name, const char *description)
{
    if (!control)
        return;
    control->setAccessibleName(QString::fromUtf8(name));
    control->setAccessibleDescription(QString::fromUtf8(description));
}

void nameByObjectName(QWidget &window, std::span<const SpokenName> names)
{
    for (const SpokenName &spoken : names)
        for (QWidget *control : window.findChildren<QWidget *>(QLatin1String(spoken.key)))
            nameControl(control, spoken.name, spoken.description);
}

void nameByActionText(QWidget &window, std::span<const SpokenName> names)
{
    for (QToolButton *button : window.findChildren<QToolButton *>()) {
        const QAction *action = button->defaultAction();
        if (!action)
            continue;
        for (const SpokenName &spoken : names)
            if (action->text() == QLatin1String(spoken.key))
                nameControl(button, spoken.name, spoken.description);
    }
}

namespace {

// The toolkit's file window names its controls in English, and some not at all.
constexpr SpokenName kFileDialogControls[] = {
    {"lookInCombo", "Buscar en", "La carpeta que se muestra"},
    {"backButton", "Atrás", "Vuelve a la carpeta anterior"},
    {"forwardButton", "Adelante", "Vuelve a la carpeta de la que se volvió"},
    {"toParentButton", "Carpeta superior", "Sube a la carpeta que contiene a esta"},
    {"newFolderButton", "Nueva carpeta", "Crea una carpeta en la carpeta que se muestra"},
    {"listModeButton", "Vista de lista", "Muestra solo los nombres de los archivos"},
    {"detailModeButton", "Vista de detalles", "Muestra los archivos con su tamaño, tipo y fecha"},
    {"sidebar", "Lugares", "Carpetas a mano"},
};

} // namespace

void nameFileDialog(QFileDialog &dialog, const FileDialogWords &words)
{
    nameByObjectName(dialog, kFileDialogControls);
    const SpokenName particular[] = {
        {"listView", "Archivos", words.files},
        {"treeView", "Archivos", words.files},
        {"fileNameEdit", "Nombre del archivo", words.fileName},
        {"fileTypeCombo", "Tipo de archivo", words.fileType},
    };
    nameByObjectName(dialog, particular);
    if (auto *buttons = dialog.findChild<QDialogButtonBox *>(QStringLiteral("buttonBox"))) {
        for (const auto role : {QDialogButtonBox::Open, QDialogButtonBox::Save})
            nameControl(buttons->button(role), words.accept, words.acceptDoes);
        nameControl(buttons->button(QDialogButtonBox::Cancel), "Cancelar", words.cancelDoes);
    }
}
