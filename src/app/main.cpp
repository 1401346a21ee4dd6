#include "ui/application.h"
#include "tform1.h"
#include "workingfolder.h"

#include <QDir>

#include <cstdio>

int main(int argc, char *argv[])
{
    Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantolia"));
    // Lets the desktop match the window with its menu entry and icon.
    QGuiApplication::setDesktopFileName(QStringLiteral(VANTOLIA_APP_ID));

    // The starter catalogue lies where the install put it beside the program, or where the build
    // made it beside the freshly built one.
    const QString starter = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(VANTOLIA_STARTER_FROM_BIN));
    const QString failure = workingfolder::enter(
        workingfolder::choose(workingfolder::thisProcess(QCoreApplication::arguments().mid(1))), starter);
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "vantolia: %s\n", qPrintable(QString(failure).replace(QLatin1Char('\r'), QLatin1Char('\n'))));
        showError(failure);
        return 1;
    }

    TForm1 form;
    form.show();
    return application.exec();
}
