#include "application.h"

#include "messageboxes.h"
#include "logoartwork.h"
#include "messagetext.h"
#include "store/error.h"

void showError(const QString &message)
{
    const QString text = errorBoxText(message);
    if (DialogSeam *seam = DialogSeam::active()) {
        seam->record("Error", text);
        return;
    }
    showMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text);
}

Application::Application(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QLatin1String(kAppTitle));
    setWindowIcon(applicationIcon());
}

bool Application::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const SilentAbort &) {
    } catch (const std::exception &error) {
        showError(store::errorText(error));
    }
    return false;
}
