#include "application.h"

#include "messageboxes.h"
#include "logoartwork.h"
#include "messagetext.h"
#include "store/error.h"

#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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
    // The toolkit's own windows (choosing a file, printing, the print preview) speak Spanish
    // like the rest of the program, whatever the desktop's language.
    auto *toolkitWords = new QTranslator(this);
    if (toolkitWords->load(QLocale(QLocale::Spanish, QLocale::Spain), QStringLiteral("qtbase"), QStringLiteral("_"),
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        installTranslator(toolkitWords);
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
