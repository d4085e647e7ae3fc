// The sheet's commands without a window: the shared file dialog as each
// command sets it up, the commands that wait while a load runs, and a load
// stopped halfway. The window's own tests drive the same commands through
// their buttons.

#include "sheet/commondialog.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using syj::CommonDialog;
using syj::FileDialogRequest;
using syj::LyricSheetCommands;
using syj::LyricSheetModel;
using syj::MsgButtons;
using syj::test::ScriptedPlatform;

Q_DECLARE_METATYPE(syj::FileDialogRequest::Mode)

namespace {

// The model, the platform tools and the commands, wired as the window wires them.
struct Sheet {
    ScriptedPlatform platform;
    CommonDialog dialog{platform};
    LyricSheetModel model;
    LyricSheetCommands commands{model, platform, dialog};
};

} // namespace

class TestCommands : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }

    void commandsWaitForTheLoad_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("打开原唱歌词") << u"open original"_s;
        QTest::newRow("打开新歌词") << u"open new"_s;
        QTest::newRow("保存新歌词") << u"save"_s;
    }

    void commandsWaitForTheLoad()
    {
        QFETCH(QString, command);
        Sheet s;
        s.model.beginLoad();
        s.model.appendLine(u"[00:01.00]一"_s);
        s.platform.choose(m_dir.filePath(u"any.lrc"_s));
        if (command == u"open original"_s)
            s.commands.openOriginalLyrics();
        else if (command == u"open new"_s)
            s.commands.openNewLyrics();
        else
            s.commands.saveNewLyrics();
        // Told to wait, asked for no file, and the rows read so far stay.
        QVERIFY(s.platform.dialog().shown.isEmpty());
        QCOMPARE(s.platform.box().shown.size(), 1);
        QVERIFY(s.platform.box().shown.first().text.contains(u"正在载入"_s));
        QCOMPARE(s.model.count(), 1);
        QVERIFY(s.model.isLoading());
        QVERIFY(!QFileInfo::exists(m_dir.filePath(u"any.lrc"_s)));
    }

    void stoppedLoadEndsQuietly()
    {
        QString text;
        for (int i = 0; i < 200; ++i)
            text += u"[00:01.00]第%1句\r\n"_s.arg(i);
        const QString file = m_dir.filePath(u"long.lrc"_s);
        QVERIFY(syj::test::writeFile(file, syj::test::gbk(text)));
        Sheet s;
        // Stopped from inside the load, as a close of the window does.
        bool stopped = false;
        QObject::connect(&s.model, &LyricSheetModel::rowsInserted, &s.model, [&] {
            if (!stopped && s.model.count() == 50) {
                stopped = true;
                s.commands.stopLoading();
            }
        });
        s.commands.loadOriginalLyrics(file);
        QVERIFY(!s.model.isLoading());
        QCOMPARE(s.model.count(), 50);
        QVERIFY(s.platform.box().shown.isEmpty());
        // The next load reads the whole file.
        s.commands.loadOriginalLyrics(file);
        QCOMPARE(s.model.count(), 200);
    }

    void dialogSetUp_data()
    {
        // A sequence of uses of one dialog: O = open, S = save. Every use is
        // answered with a file, the last one perhaps with a cancel. The last
        // request and answer are checked: what one use sets stays for the next
        // use that does not set it.
        QTest::addColumn<QString>("uses");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<FileDialogRequest::Mode>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("defaultExt");
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<int>("flags");
        QTest::addColumn<QString>("filter");

        const auto open = FileDialogRequest::Mode::Open;
        const auto save = FileDialogRequest::Mode::Save;
        const QString music = u"音乐文件(*.*)|*.*|"_s;
        const QString lyrics = u"歌词文件(*.lrc)|*.lrc|All files(*.*)|*.*"_s;
        QTest::newRow("open") << u"O"_s << false << open << QString() << QString() << 0 << 4096
                              << music;
        QTest::newRow("open, cancelled")
            << u"O"_s << true << open << QString() << QString() << 0 << 4096 << music;
        QTest::newRow("save") << u"S"_s << false << save << u"保存文本"_s << u"lrc"_s << 1 << 2050
                              << lyrics;
        QTest::newRow("save, cancelled")
            << u"S"_s << true << save << u"保存文本"_s << u"lrc"_s << 1 << 2050 << lyrics;
        QTest::newRow("open, open")
            << u"OO"_s << false << open << QString() << QString() << 0 << 4096 << music;
        QTest::newRow("save, open")
            << u"SO"_s << false << open << u"保存文本"_s << u"lrc"_s << 1 << 4096 << music;
        QTest::newRow("open, save, open")
            << u"OSO"_s << false << open << u"保存文本"_s << u"lrc"_s << 1 << 4096 << music;
        QTest::newRow("save, save")
            << u"SS"_s << false << save << u"保存文本"_s << u"lrc"_s << 1 << 2050 << lyrics;
        QTest::newRow("open, save")
            << u"OS"_s << false << save << u"保存文本"_s << u"lrc"_s << 1 << 2050 << lyrics;
    }

    void dialogSetUp()
    {
        QFETCH(QString, uses);
        QFETCH(bool, cancelled);
        QFETCH(FileDialogRequest::Mode, mode);
        QFETCH(QString, title);
        QFETCH(QString, defaultExt);
        QFETCH(int, filterIndex);
        QFETCH(int, flags);
        QFETCH(QString, filter);

        ScriptedPlatform platform;
        CommonDialog dialog(platform);
        QString answer;
        for (qsizetype i = 0; i < uses.size(); ++i) {
            const QString chosen = u"/some/文件%1"_s.arg(i);
            if (cancelled && i + 1 == uses.size())
                platform.cancel();
            else
                platform.choose(chosen);
            answer = uses[i] == u'O' ? syj::askOpenFile(dialog) : syj::askSaveFile(dialog);
            QCOMPARE(answer, cancelled && i + 1 == uses.size() ? QString() : chosen);
            QCOMPARE(dialog.FileName(), answer);
        }
        QCOMPARE(platform.dialog().shown.size(), uses.size());
        const FileDialogRequest &r = platform.dialog().shown.last();
        QCOMPARE(r.mode, mode);
        QCOMPARE(r.dialogTitle, title);
        QCOMPARE(r.defaultExt, defaultExt);
        QCOMPARE(r.filterIndex, filterIndex);
        QCOMPARE(r.flags, flags);
        QCOMPARE(r.filter, filter);
        // Each use starts from an empty name, whatever the last one chose.
        QVERIFY(r.fileName.isEmpty());
        QVERIFY(platform.box().shown.isEmpty());
    }

    void cancelKeepsFileName_data()
    {
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("shown");
        QTest::newRow("open") << 1 << true;
        QTest::newRow("save") << 2 << true;
        QTest::newRow("action 0 shows nothing") << 0 << false;
        QTest::newRow("action 3 shows nothing") << 3 << false;
    }

    void cancelKeepsFileName()
    {
        QFETCH(int, action);
        QFETCH(bool, shown);

        ScriptedPlatform platform;
        CommonDialog dialog(platform);
        dialog.setFileName(u"/music/old.mp3"_s);
        platform.cancel();
        dialog.setAction(action);
        QCOMPARE(platform.dialog().shown.size(), shown ? 1 : 0);
        QCOMPARE(dialog.FileName(), u"/music/old.mp3"_s);
        if (shown)
            QCOMPARE(platform.dialog().shown.first().fileName, u"/music/old.mp3"_s);
    }

    void noFileChosenBox()
    {
        ScriptedPlatform platform;
        syj::showNoFileChosen(platform);
        QCOMPARE(platform.box().shown.size(), 1);
        const syj::MessageBoxRequest &r = platform.box().shown.first();
        QCOMPARE(r.text, u"没有找到文件"_s);
        QCOMPARE(r.title, u"检查"_s);
        QCOMPARE(r.buttons, syj::MsgButtons::RetryCancel);
        QCOMPARE(r.icon, syj::MsgIcon::Question);
    }
};

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_core_commands.moc"
