#include "app/application.h"
#include "app/commandline.h"
#include "app/form1.h"
#include "platform/qtplatformtools.h"
#include "player/audioplayer.h"
#include "sheet/sheetcommands.h"

#include <QApplication>
#include <QDir>
#include <QStandardPaths>

using namespace Qt::StringLiterals;

int main(int argc, char *argv[])
{
    if (syj::answerOnTerminal(argc, argv))
        return 0; // --help, --version: no window, no display needed
    QApplication app(argc, argv);
    syj::configureApplication(app);

    // The desktop's own dialogs and boxes, shown over the main window.
    syj::QtPlatformTools tools;
    auto *form = new syj::Form1(tools);
    tools.setWindow(form);
    form->setAttribute(Qt::WA_DeleteOnClose);
    // Unsaved new words are kept in the user's data folder while they are
    // unsaved; words a program that crashed left there are offered back.
    const QString recovery = QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                                 .filePath(u"recovery"_s);
    form->keepRecoveryCopies(recovery);
    form->show();
    // Once the window is up: first the words a crashed program left, then the
    // file named on the command line (a restored sheet is asked about as
    // unsaved words before the file replaces it).
    const syj::CommandLine commandLine(QApplication::arguments());
    QMetaObject::invokeMethod(
        form,
        [form, &tools, recovery, commandLine] {
            form->commands().offerRecovery(recovery);
            syj::openFromCommandLine(*form, tools, commandLine);
            // The players' media framework, readied beside the window, so
            // that the first song opens at once.
            syj::AudioPlayer::prepareInBackground();
        },
        Qt::QueuedConnection);
    return QApplication::exec();
}
