// Bad input through the real commands: each case gets a clear message in
// Chinese that names the file, and nothing the user had is lost.
#include "app/application.h"
#include "app/form1.h"
#include "app/rowpanel.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/filehazards.h"
#include "support/scripted.h"
#include "support/window.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace syj;
using namespace syj::test;

namespace {

enum class Command { LoadOriginal, OpenNew, Save };

} // namespace

class TestBadInput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPlatform> m_platform;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A window with three rows and typed (saved) new words in row 2.
    std::unique_ptr<Form1> sheetWithWords()
    {
        auto form = std::make_unique<Form1>(*m_platform);
        const QString lrc = path(u"good.lrc"_s);
        writeFile(lrc, gbk(u"[ti:好]\r\n[00:01.00]一句\r\n[00:02.00]二句\r\n"_s));
        form->commands().loadOriginalLyrics(lrc);
        form->rows().newWordsBox(1)->setText(u"我的新词"_s);
        return form;
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { m_platform = std::make_unique<ScriptedPlatform>(); }

    void badFiles_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("file");  // what the dialog returns
        QTest::addColumn<QString>("named"); // the file the message names
        QTest::addColumn<QString>("says");  // a phrase of the message
        QTest::addColumn<bool>("rowsKept"); // the old rows and words stay

        const int load = int(Command::LoadOriginal);
        const int openNew = int(Command::OpenNew);
        QTest::newRow("binary file named .lrc (load)")
            << load << u"binary.lrc"_s << u"binary.lrc"_s << u"不是文本歌词文件"_s << true;
        QTest::newRow("binary file named .lrc (open new)")
            << openNew << u"binary.lrc"_s << u"binary.lrc"_s << u"不是文本歌词文件"_s << true;
        QTest::newRow("50 MB file (load)")
            << load << u"huge.lrc"_s << u"huge.lrc"_s << u"文件太大"_s << true;
        QTest::newRow("50 MB file (open new)")
            << openNew << u"huge.lrc"_s << u"huge.lrc"_s << u"文件太大"_s << true;
        QTest::newRow("NUL bytes in a text file (load)")
            << load << u"nul.lrc"_s << u"nul.lrc"_s << u"空字节"_s << true;
        QTest::newRow("chosen song, lyric file vanished (load)")
            << load << u"vanish.mp3"_s << u"vanish.lrc"_s << u"没有找到歌词文件"_s << false;
        QTest::newRow("chosen song, lyric file vanished (open new)")
            << openNew << u"vanish.mp3"_s << u"vanish.lrc"_s << u"没有找到歌词文件"_s << true;
        QTest::newRow("a folder named .lrc (open new)")
            << openNew << u"folder.mp3"_s << u"folder.lrc"_s << u"没有找到歌词文件"_s << true;
        const QString longLine = u"有一行超过 2000000 个字符"_s;
        QTest::newRow("a line past the line limit (load)")
            << load << u"longline.lrc"_s << u"longline.lrc"_s << longLine << true;
        QTest::newRow("a line past the line limit (open new)")
            << openNew << u"longline.lrc"_s << u"longline.lrc"_s << longLine << true;
        // None of these may hold the window, waiting for a writer or reading forever.
        const QString notRegular = u"不是普通文件"_s;
        QTest::newRow("named pipe (load)")
            << load << u"pipe.lrc"_s << u"pipe.lrc"_s << notRegular << true;
        QTest::newRow("named pipe (open new)")
            << openNew << u"pipe.lrc"_s << u"pipe.lrc"_s << notRegular << true;
        QTest::newRow("a pipe in the lyric file's place after the choice (load)")
            << load << u"swap.mp3"_s << u"swap.lrc"_s << notRegular << true;
        QTest::newRow("a pipe in the lyric file's place after the choice (open new)")
            << openNew << u"swap.mp3"_s << u"swap.lrc"_s << notRegular << true;
    }

    void badFiles()
    {
        QFETCH(int, command);
        QFETCH(QString, file);
        QFETCH(QString, named);
        QFETCH(QString, says);
        QFETCH(bool, rowsKept);

        QByteArray binary(4096, '\0');
        QRandomGenerator gen(7);
        for (char &c : binary)
            c = char(gen.bounded(256));
        binary[100] = '\0';
        writeFile(path(u"binary.lrc"_s), binary);
        {
            QFile huge(path(u"huge.lrc"_s));
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(50LL * 1024 * 1024));
        }
        writeFile(path(u"nul.lrc"_s), QByteArray("[00:01.00]a\r\n[00:02.00]b\0c\r\n", 27));
        QDir(m_dir.path()).mkpath(u"folder.lrc"_s);
        writeFile(path(u"vanish.lrc"_s), gbk(u"[00:01.00]马上就没了\r\n"_s));
        writeFile(path(u"vanish.mp3"_s), "music");
        writeFile(path(u"folder.mp3"_s), "music");
        writeFile(path(u"longline.lrc"_s), "[00:01.00]" + QByteArray(2000000, 'a') + "\r\n");
        QVERIFY(makePipe(path(u"pipe.lrc"_s)));
        QFile::remove(path(u"swap.lrc"_s)); // a pipe since the last case
        writeFile(path(u"swap.lrc"_s), gbk(u"[00:01.00]马上换成管道\r\n"_s));
        writeFile(path(u"swap.mp3"_s), "music");

        auto form = sheetWithWords();
        form->sheet().setModified(false);
        ScriptedPlatform &platform = *m_platform;
        platform.choose(path(file));
        platform.dialog().afterAnswer = [this] {
            QFile::remove(path(u"vanish.lrc"_s));
            makePipe(path(u"swap.lrc"_s));
        };

        {
            const PipeWatchdog watchdog(path(named));
            if (command == int(Command::LoadOriginal))
                form->dcButton3_Click();
            else
                form->dcButton6_Click();
            QVERIFY2(!watchdog.fired(), "the window waited for a writer");
        }

        QCOMPARE(platform.box().shown.size(), 1);
        const MessageBoxRequest &box = platform.box().shown.first();
        QVERIFY2(box.text.contains(says), qPrintable(box.text));
        QVERIFY2(box.text.contains(QDir::toNativeSeparators(path(named))), qPrintable(box.text));
        QVERIFY(box.icon == MsgIcon::Warning || box.icon == MsgIcon::Critical);
        if (rowsKept) {
            QCOMPARE(form->sheet().rowCount(), 3);
            QCOMPARE(form->Label3()->text(), u"3"_s);
            QCOMPARE(form->rows().newWordsBox(1)->text(), u"我的新词"_s);
            QCOMPARE(form->rows().originalBox(1)->text(), u"一句"_s);
        } else {
            QCOMPARE(form->sheet().rowCount(), 0);
            QCOMPARE(form->Label3()->text(), u"0"_s);
        }
        QFile::remove(path(u"huge.lrc"_s));
    }

    void invalidGb18030IsShownAndReported()
    {
        // 0x81 0x20 and a lone 0xFF are no GB18030 characters; the rest is.
        const QString lrc = path(u"broken.lrc"_s);
        writeFile(lrc, QByteArray("[00:01.00]") + gbk(u"好"_s) + "\x81\x20" + gbk(u"词"_s) +
                           "\r\n[00:02.00]\xFF\r\n");
        ScriptedPlatform platform;
        Form1 form(platform);
        form.commands().loadOriginalLyrics(lrc);
        QCOMPARE(form.sheet().rowCount(), 2);
        QVERIFY(form.rows().originalBox(0)->text().startsWith(u"好"_s));
        QVERIFY(form.rows().originalBox(0)->text().endsWith(u"词"_s));
        QVERIFY(form.rows().originalBox(0)->text().contains(QChar(QChar::ReplacementCharacter)));
        QCOMPARE(platform.box().shown.size(), 1);
        const QString text = platform.box().shown.first().text;
        QVERIFY2(text.contains(u"无法识别"_s) && text.contains(u"2 处"_s), qPrintable(text));
        QVERIFY2(text.contains(u"按 GBK/GB18030（简体中文） 读取"_s), qPrintable(text));
        QVERIFY(text.contains(QDir::toNativeSeparators(lrc)));
    }

    void longLineKeepsEveryCharacter()
    {
        QString words;
        for (int i = 0; i < 100000; ++i)
            words += QChar(u'一' + i % 500);
        const QString lrc = path(u"long.lrc"_s);
        writeFile(lrc, gbk(u"[00:01.00]"_s + words + u"\r\n"_s));
        ScriptedPlatform platform;
        Form1 form(platform);
        form.commands().loadOriginalLyrics(lrc);
        QCOMPARE(form.rows().originalBox(0)->text().size(), 100000);
        QCOMPARE(form.rows().originalBox(0)->text(), words);
        form.rows().newWordsBox(0)->setText(words);
        const QString out = path(u"long-new.lrc"_s);
        QVERIFY(form.commands().saveNewLyricsTo(out));
        QCOMPARE(readFile(out), gbk(u"[00:01.00]"_s + words + u"\r\n"_s));
        QVERIFY(platform.box().shown.isEmpty());
    }

    void unwritableSaveTarget_data()
    {
        QTest::addColumn<QString>("target");
        // Root is not stopped by permissions: a folder that is a file, a target
        // that is a folder, a folder of the kernel's own.
        QTest::newRow("folder is a file") << path(u"plain/new.lrc"_s);
        QTest::newRow("target is a folder") << path(u"dir.lrc"_s);
        QTest::newRow("kernel folder") << u"/proc/sys/new.lrc"_s;
    }

    void unwritableSaveTarget()
    {
        QFETCH(QString, target);
        writeFile(path(u"plain"_s), "a file");
        QDir(m_dir.path()).mkpath(u"dir.lrc"_s);
        auto form = sheetWithWords();
        ScriptedPlatform &platform = *m_platform;
        platform.choose(target);
        form->dcButton8_Click();
        QCOMPARE(platform.box().shown.size(), 1);
        const MessageBoxRequest &box = platform.box().shown.first();
        QCOMPARE(box.icon, MsgIcon::Critical);
        QVERIFY(box.text.contains(u"无法保存"_s));
        QVERIFY(box.text.contains(QDir::toNativeSeparators(target)));
        QCOMPARE(form->rows().newWordsBox(1)->text(), u"我的新词"_s);
        QVERIFY(form->sheet().isModified());
        QCOMPARE(readFile(path(u"plain"_s)), QByteArray("a file"));
    }

    // Saving 120 KB of words over an existing file when the disk fills up or the
    // file grows past the size the system allows: the message gives the
    // system's reason, the old file keeps every byte and the words stay unsaved.
    void saveRunsOutOfRoom_data()
    {
        QTest::addColumn<bool>("disk"); // else a limit on the file size
        QTest::addColumn<QString>("says");
        QTest::newRow("40 KiB free") << true << u"磁盘已满"_s;
        QTest::newRow("file size limit of 40 KiB") << false << u"文件超出了系统允许的大小"_s;
    }

    void saveRunsOutOfRoom()
    {
        QFETCH(bool, disk);
        QFETCH(QString, says);

        SmallDisk small(64 * 1024);
        if (disk && !small.isMounted())
            QSKIP(qPrintable(small.whyNot()));
        const QString target = disk ? small.filePath(u"old.lrc"_s) : path(u"old.lrc"_s);
        const QByteArray old = gbk(u"[00:01.00]旧的歌词\r\n"_s).repeated(400);
        QVERIFY(writeFile(target, old));
        QVERIFY(!disk || small.leaveFree(40960));
        auto form = sheetWithWords();
        const QString words(120000, u'a');
        form->rows().newWordsBox(1)->setText(words);
        m_platform->choose(target);
        {
            std::optional<FileSizeLimit> limit;
            if (!disk)
                limit.emplace(40960);
            form->dcButton8_Click();
        }

        QCOMPARE(m_platform->box().shown.size(), 1);
        const MessageBoxRequest &box = m_platform->box().shown.first();
        QCOMPARE(box.icon, MsgIcon::Critical);
        QVERIFY2(box.text.contains(says), qPrintable(box.text));
        QVERIFY(box.text.contains(QDir::toNativeSeparators(target)));
        QCOMPARE(readFile(target), old);
        QCOMPARE(form->rows().newWordsBox(1)->text(), words);
        QVERIFY(form->sheet().isModified());
    }
};

SYJ_WINDOW_TEST_MAIN(TestBadInput)

#include "tst_badinput.moc"
