#include "app/application.h"
#include "app/form1.h"
#include "platform/qtplatformtools.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    syj::configureApplication(app);

    // The desktop's own dialogs and boxes, shown over the main window.
    syj::QtPlatformTools tools;
    auto *form = new syj::Form1(tools);
    tools.setWindow(form);
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return QApplication::exec();
}
