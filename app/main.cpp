#include "app/application.h"
#include "app/form1.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    syj::configureApplication(app);

    auto *form = new syj::Form1;
    form->setAttribute(Qt::WA_DeleteOnClose);
    form->show();
    return QApplication::exec();
}
