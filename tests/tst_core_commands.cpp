// The sheet's commands without a window: the shared file dialog as each
// command sets it up, the commands that wait while a load runs, and a load
// stopped halfway. The window's own tests drive the same commands through
// their buttons.

#include "sheet/filerequests.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using syj::FileDialogRequest;
using syj::FileOption;
using syj::FileOptions;
using syj::FileRequests;
using syj::LyricEncoding;
using syj::LyricSheetCommands;
using syj::LyricSheetModel;
using syj::MsgButtons;
using syj::test::ScriptedPlatform;

Q_DECLARE_METATYPE(syj::FileDialogRequest::Mode)
Q_DECLARE_METATYPE(syj::FileOptions)
Q_DECLARE_METATYPE(syj::LyricEncoding)

namespace {

// The model, the platform tools and the commands, wired as the window wires them.
struct Sheet {
    ScriptedPlatform platform;
    FileRequests files{platform};
    LyricSheetModel model;
    LyricSheetCommands commands{model, files};
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

    // The window is told the encoding of each lyric file read into the sheet,
    // once, and of no file that was missing, refused, not taken, or whose load
    // was stopped.
    void lyricsReadAs_data()
    {
        QTest::addColumn<QString>("command"); // original, open original, new
        QTest::addColumn<bool>("exists");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("keepWords"); // unsaved new words, and 取消 to the question
        QTest::addColumn<bool>("stop");      // the load is stopped at its first row
        QTest::addColumn<int>("told");
        QTest::addColumn<LyricEncoding>("encoding");

        // Lyric lines written for this test.
        const QString lyrics = u"[00:10.00]風吹過城市的街頭\r\n[00:14.50]我們在雨中慢慢走\r\n"
                               "[00:19.20]燈火照亮你的臉\r\n[00:23.80]這一刻不想說再見\r\n"_s;
        const QByteArray gbk = QStringEncoder("GB18030").encode(lyrics);
        const QByteArray big5 = QStringEncoder("Big5").encode(lyrics);
        const auto gb = LyricEncoding::Gb18030;
        const QString original = u"original"_s;
        const QString opened = u"open original"_s;
        const QString fresh = u"new"_s;

        QTest::newRow("original, GBK") << original << true << gbk << false << false << 1 << gb;
        QTest::newRow("original, Big5")
            << original << true << big5 << false << false << 1 << LyricEncoding::Big5;
        QTest::newRow("original, bad bytes shown") << original << true << gbk + "\x80\r\n"
                                                   << false << false << 1 << gb;
        QTest::newRow("original, empty file")
            << original << true << QByteArray() << false << false << 1 << gb;
        QTest::newRow("original through the dialog, UTF-8")
            << opened << true << lyrics.toUtf8() << false << false << 1 << LyricEncoding::Utf8;
        QTest::newRow("original, missing") << original << false << gbk << false << false << 0 << gb;
        QTest::newRow("original, NUL bytes")
            << original << true << gbk + '\0' << false << false << 0 << gb;
        QTest::newRow("original, load stopped")
            << original << true << big5 << false << true << 0 << gb;
        QTest::newRow("original through the dialog, words kept")
            << opened << true << big5 << true << false << 0 << gb;
        QTest::newRow("new, Big5")
            << fresh << true << big5 << false << false << 1 << LyricEncoding::Big5;
        QTest::newRow("new, empty file")
            << fresh << true << QByteArray() << false << false << 0 << gb;
        QTest::newRow("new, words kept") << fresh << true << big5 << true << false << 0 << gb;
    }

    void lyricsReadAs()
    {
        QFETCH(QString, command);
        QFETCH(bool, exists);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, keepWords);
        QFETCH(bool, stop);
        QFETCH(int, told);
        QFETCH(LyricEncoding, encoding);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString song = dir.filePath(u"歌.mp3"_s);
        const QString lrc = dir.filePath(u"歌.lrc"_s);
        const QString earlier = dir.filePath(u"早.lrc"_s);
        QVERIFY(syj::test::writeFile(earlier, "[00:01.00]a\r\n[00:02.00]b\r\n"));
        if (exists)
            QVERIFY(syj::test::writeFile(lrc, bytes));
        Sheet s;
        s.commands.loadOriginalLyrics(earlier);
        QCOMPARE(s.model.count(), 2);
        if (keepWords) {
            s.model.setNewWords(0, u"新词"_s);
            s.platform.answer(syj::MsgResult::Cancel);
        }
        if (stop) {
            QObject::connect(&s.model, &LyricSheetModel::rowsInserted, &s.model,
                             [&] { s.commands.stopLoading(); });
        }

        QList<std::pair<LyricEncoding, QString>> heard;
        QObject::connect(&s.commands, &LyricSheetCommands::lyricsReadAs, &s.commands,
                         [&](LyricEncoding e, const QString &path) {
                             heard.append({e, path});
                         });
        if (command == u"new"_s) {
            s.commands.loadNewLyrics(song);
        } else if (command == u"open original"_s) {
            s.platform.choose(song);
            s.commands.openOriginalLyrics();
        } else {
            s.commands.loadOriginalLyrics(song);
        }
        QCOMPARE(heard.size(), told);
        if (told > 0) {
            QCOMPARE(heard.first().first, encoding);
            QCOMPARE(heard.first().second, lrc);
        }
    }

    void dialogSetUp_data()
    {
        // A sequence of uses of the dialogs: O = open, S = save. Every use is
        // answered with a file, the last one perhaps with a cancel. The last
        // request and answer are checked: what one use sets stays for the next
        // use that does not set it.
        QTest::addColumn<QString>("uses");
        QTest::addColumn<bool>("cancelled");
        QTest::addColumn<FileDialogRequest::Mode>("mode");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("defaultExt");
        QTest::addColumn<int>("filterIndex");
        QTest::addColumn<FileOptions>("options");
        QTest::addColumn<QString>("filter");

        const auto open = FileDialogRequest::Mode::Open;
        const auto save = FileDialogRequest::Mode::Save;
        const QString music = u"音乐文件(*.*)|*.*|"_s;
        const FileOptions mustExist = FileOption::FileMustExist;
        const FileOptions saving = FileOption::AskBeforeReplacing | FileOption::PathMustExist;
        const QString lyrics = u"歌词文件(*.lrc)|*.lrc|All files(*.*)|*.*"_s;
        QTest::newRow("open") << u"O"_s << false << open << QString() << QString() << 0 << mustExist
                              << music;
        QTest::newRow("open, cancelled")
            << u"O"_s << true << open << QString() << QString() << 0 << mustExist << music;
        QTest::newRow("save") << u"S"_s << false << save << u"保存文本"_s << u"lrc"_s << 1 << saving
                              << lyrics;
        QTest::newRow("save, cancelled")
            << u"S"_s << true << save << u"保存文本"_s << u"lrc"_s << 1 << saving << lyrics;
        QTest::newRow("open, open")
            << u"OO"_s << false << open << QString() << QString() << 0 << mustExist << music;
        QTest::newRow("save, open")
            << u"SO"_s << false << open << u"保存文本"_s << u"lrc"_s << 1 << mustExist << music;
        QTest::newRow("open, save, open")
            << u"OSO"_s << false << open << u"保存文本"_s << u"lrc"_s << 1 << mustExist << music;
        QTest::newRow("save, save")
            << u"SS"_s << false << save << u"保存文本"_s << u"lrc"_s << 1 << saving << lyrics;
        QTest::newRow("open, save")
            << u"OS"_s << false << save << u"保存文本"_s << u"lrc"_s << 1 << saving << lyrics;
    }

    void dialogSetUp()
    {
        QFETCH(QString, uses);
        QFETCH(bool, cancelled);
        QFETCH(FileDialogRequest::Mode, mode);
        QFETCH(QString, title);
        QFETCH(QString, defaultExt);
        QFETCH(int, filterIndex);
        QFETCH(FileOptions, options);
        QFETCH(QString, filter);

        ScriptedPlatform platform;
        FileRequests files(platform);
        QString answer;
        for (qsizetype i = 0; i < uses.size(); ++i) {
            const QString chosen = u"/some/文件%1"_s.arg(i);
            if (cancelled && i + 1 == uses.size())
                platform.cancel();
            else
                platform.choose(chosen);
            answer = files.choose(uses[i] == u'O' ? FileRequests::Kind::OpenMusic
                                                  : FileRequests::Kind::SaveLyrics);
            QCOMPARE(answer, cancelled && i + 1 == uses.size() ? QString() : chosen);
        }
        QCOMPARE(platform.dialog().shown.size(), uses.size());
        const FileDialogRequest &r = platform.dialog().shown.last();
        QCOMPARE(r.mode, mode);
        QCOMPARE(r.dialogTitle, title);
        QCOMPARE(r.defaultExt, defaultExt);
        QCOMPARE(r.filterIndex, filterIndex);
        QCOMPARE(r.options, options);
        QCOMPARE(r.filter, filter);
        // Each use starts from an empty name, whatever the last one chose.
        QVERIFY(r.fileName.isEmpty());
        QVERIFY(platform.box().shown.isEmpty());
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
