#include "ui/application.h"
#include "tform1.h"

int main(int argc, char *argv[])
{
    Application application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantolia"));
    TForm1 form;
    form.show();
    return application.exec();
}
