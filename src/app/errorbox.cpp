#include "errorbox.h"

#include "dialogs.h"
#include "logo.h"
#include "messagetext.h"

void mostrarError(const QString &message)
{
    const QString text = errorBoxText(message);
    if (DialogSeam *seam = DialogSeam::active()) {
        seam->record("Error", text);
        return;
    }
    showMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text);
}

VantoliaApplication::VantoliaApplication(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QLatin1String(kAppTitle));
    setWindowIcon(iconoAplicacion());
}

bool VantoliaApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const SilentAbort &) {
    } catch (const std::exception &error) {
        // Store errors carry their message as UTF-8 in what(), like every other exception here.
        mostrarError(QString::fromUtf8(error.what()));
    }
    return false;
}
