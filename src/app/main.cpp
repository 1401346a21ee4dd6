#include "app/errorbox.h"
#include "app/tform1.h"

int main(int argc, char *argv[])
{
    VantoliaApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vantolia"));
    TForm1 form;
    form.show();
    return application.exec();
}
