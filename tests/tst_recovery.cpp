// Never losing a word: a real program (this test, started again as a child)
// types a word into the real window and is then killed with SIGKILL, or ends
// normally; the next start offers the words back only after a kill.

#include "app/application.h"
#include "app/form1.h"
#include "app/rowpanel.h"
#include "sheet/filerequests.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/lyrictext.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"
#include "support/widgets.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>

using namespace Qt::StringLiterals;
using syj::Form1;
using syj::MsgButtons;
using syj::MsgResult;
using syj::test::ScriptedPlatform;

namespace {

const QString kWord = u"不能丢的词"_s;

// The child: loads `lyrics`, keeps its recovery copies in `folder`, types the
// word into row 2 and says so; then it waits to be killed ("kill"), saves and
// ends ("save"), or ends giving the words up ("quit").
int typingChild(const QString &mode, const QString &folder, const QString &lyrics)
{
    ScriptedPlatform platform;
    Form1 form(platform);
    form.keepRecoveryCopies(folder);
    form.show();
    form.commands().loadOriginalLyrics(lyrics);
    syj::test::typeText(form.rows().newWordsBox(1), kWord);
    std::printf("typed\n");
    std::fflush(stdout);
    if (mode == u"kill"_s)
        return QApplication::exec();
    if (mode == u"save"_s)
        form.commands().saveNewLyricsTo(lyrics + u".new"_s);
    platform.answer(MsgResult::Discard);
    form.close();
    return 0;
}

} // namespace

class TestRecovery : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void wordsComeBackAfterAKill_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<bool>("offered");
        QTest::newRow("killed one second after typing") << u"kill"_s << true;
        QTest::newRow("saved and ended") << u"save"_s << false;
        QTest::newRow("ended giving the words up") << u"quit"_s << false;
    }

    void wordsComeBackAfterAKill()
    {
        QFETCH(QString, mode);
        QFETCH(bool, offered);
        const QString folder = m_dir.filePath(u"recovery-"_s + mode);
        const QString lyrics = m_dir.filePath(u"song-"_s + mode + u".lrc"_s);
        QVERIFY(
            syj::writeLyricFile(lyrics, {u"[ti:歌]"_s, u"[00:01.00]一"_s, u"[00:02.00]二"_s}).ok);

        QProcess child;
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start(QCoreApplication::applicationFilePath(),
                    {u"--typing-child"_s, mode, folder, lyrics});
        QVERIFY(child.waitForStarted());
        QVERIFY2(child.waitForReadyRead(20000) && child.readLine().startsWith("typed"),
                 "the child did not type");
        if (mode == u"kill"_s) {
            QTest::qWait(1000);
            child.kill(); // SIGKILL: nothing of the program runs any more
        }
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus(),
                 mode == u"kill"_s ? QProcess::CrashExit : QProcess::NormalExit);

        // The next start.
        ScriptedPlatform platform;
        Form1 form(platform);
        form.keepRecoveryCopies(folder);
        form.show();
        platform.answer(MsgResult::Restore);
        form.commands().offerRecovery(folder);
        QCOMPARE(platform.box().shown.size(), offered ? 1 : 0);
        if (!offered)
            return;
        QCOMPARE(platform.box().shown.first().buttons, MsgButtons::RestoreDiscard);
        QCOMPARE(form.sheet().count(), 3);
        QCOMPARE(form.rows().newWordsBox(1)->text(), kWord);
        QCOMPARE(form.rows().originalBox(1)->text(), u"一"_s);
        QVERIFY(form.sheet().isModified());
        QCOMPARE(syj::test::shownTitle(&form), u"声韵笺*"_s);
        // Restored, it is this program's copy now, and offered to nobody else.
        platform.box().shown.clear();
        ScriptedPlatform other;
        syj::LyricSheetModel otherSheet;
        syj::FileRequests otherFiles(other);
        syj::LyricSheetCommands otherCommands(otherSheet, otherFiles);
        otherCommands.offerRecovery(folder);
        QVERIFY(other.box().shown.isEmpty());
    }
};

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    syj::configureApplication(app);
    if (argc == 5 && qstrcmp(argv[1], "--typing-child") == 0)
        return typingChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                           QString::fromLocal8Bit(argv[4]));
    TestRecovery test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_recovery.moc"
