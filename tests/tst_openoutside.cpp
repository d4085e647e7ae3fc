// Files that come from outside the window: named on the command line. A file
// for the sheet must end exactly as choosing it in 打开原唱歌词 ends, with the
// same boxes; the tables compare each case with that dialog run on a window of
// its own.
#include "app/application.h"
#include "app/commandline.h"
#include "app/form1.h"
#include "platform/mediaplayer.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"
#include "support/wav.h"
#include "support/widgets.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <QWindow>
#include <memory>

using namespace Qt::StringLiterals;
using namespace syj;
using namespace syj::test;

namespace {

// What a window shows after a command: its rows' original words and the boxes.
struct Outcome {
    QStringList words;
    QList<MessageBoxRequest> boxes;
};

Outcome outcomeOf(const Form1 &form, ScriptedPlatform &platform)
{
    Outcome o;
    for (int r = 0; r < form.sheet().count(); ++r)
        o.words << form.sheet().at(r).originalWords;
    o.boxes = platform.box().shown;
    return o;
}

QString describe(const QList<MessageBoxRequest> &boxes)
{
    QStringList texts;
    for (const MessageBoxRequest &b : boxes)
        texts << u"[%1] %2"_s.arg(int(b.icon)).arg(b.text);
    return texts.join(u"\n"_s);
}

// A window of its own with a scripted platform, shown.
struct Window {
    ScriptedPlatform platform;
    Form1 form{platform};
    Window()
    {
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
    }
};

} // namespace

class TestOpenOutside : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_previousFolder;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // "{dir}" stands for the test's folder; "uri:NAME" for the file:// URI of
    // NAME in it, encoded as a file manager passes it.
    QString expand(const QString &argument) const
    {
        if (argument.startsWith(u"uri:"_s))
            return QString::fromLatin1(QUrl::fromLocalFile(path(argument.mid(4))).toEncoded());
        return QString(argument).replace(u"{dir}"_s, m_dir.path());
    }

    // The same file chosen through 打开原唱歌词 on a window of its own.
    Outcome throughDialog(const QString &chosen)
    {
        Window w;
        w.platform.choose(chosen);
        w.form.dcButton3_Click();
        return outcomeOf(w.form, w.platform);
    }

    void compareWithDialog(const Outcome &got, qsizetype ownBoxes, const QString &chosen)
    {
        const Outcome expected = throughDialog(chosen);
        QCOMPARE(got.words, expected.words);
        const QList<MessageBoxRequest> rest = got.boxes.mid(ownBoxes);
        QVERIFY2(rest.size() == expected.boxes.size(),
                 qPrintable(u"got:\n%1\nthe dialog gives:\n%2"_s.arg(describe(rest),
                                                                     describe(expected.boxes))));
        for (qsizetype i = 0; i < rest.size(); ++i) {
            QCOMPARE(rest[i].text, expected.boxes[i].text);
            QCOMPARE(rest[i].icon, expected.boxes[i].icon);
            QCOMPARE(rest[i].buttons, expected.boxes[i].buttons);
        }
    }

private Q_SLOTS:
    void initTestCase()
    {
        syj::configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkdir(u"子目录"_s));
        QVERIFY(QDir(m_dir.path()).mkdir(u"文件夹.lrc"_s));
        QVERIFY(
            writeFile(path(u"歌.lrc"_s),
                      gbk(u"[00:01.00]床前明月光\r\n[00:05.50]疑是地上霜\r\n[ti:静夜思]\r\n"_s)));
        QVERIFY(writeFile(path(u"歌.mp3"_s), QByteArray()));
        QVERIFY(writeFile(path(u"子目录/曲.lrc"_s), gbk(u"[00:02.00]白日依山尽\r\n"_s)));
        QVERIFY(writeFile(path(u"-横.lrc"_s), gbk(u"[00:03.00]一横\r\n[00:04.00]二横\r\n"_s)));
        QVERIFY(writeFile(path(u"二进制.lrc"_s), QByteArray("[00:01.00]\0\0\x01\x02", 14)));
        QVERIFY(writeFile(path(u"说明.txt"_s), "plain text\n"));
        QVERIFY(writeToneWav(path(u"伴奏.wav"_s), 4.0, 8000, 330));
        QVERIFY(writeToneWav(path(u"原唱.wav"_s), 4.0, 8000, 550));
        QVERIFY(writeSilentMp3(path(u"原唱.mp3"_s), 1.0));
        m_previousFolder = QDir::currentPath();
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }

    void cleanupTestCase() { QDir::setCurrent(m_previousFolder); }

    // --- The command line -------------------------------------------------------

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        // Boxes of the command line's own before the dialog's: each holds the text.
        QTest::addColumn<QStringList>("ownBoxes");
        // The file the dialog chooses for the same result; empty: the
        // command line opens nothing.
        QTest::addColumn<QString>("sameAs");
        QTest::addColumn<int>("rows");

        QTest::newRow("song file with its .lrc beside it")
            << QStringList{u"{dir}/歌.mp3"_s} << QStringList() << u"歌.mp3"_s << 3;
        QTest::newRow("the .lrc itself")
            << QStringList{u"{dir}/歌.lrc"_s} << QStringList() << u"歌.lrc"_s << 3;
        QTest::newRow("relative path")
            << QStringList{u"歌.mp3"_s} << QStringList() << u"歌.mp3"_s << 3;
        QTest::newRow("relative path into a folder") << QStringList{u"./子目录/../子目录/曲.lrc"_s}
                                                     << QStringList() << u"子目录/曲.lrc"_s << 1;
        QTest::newRow("file:// URI")
            << QStringList{u"uri:歌.mp3"_s} << QStringList() << u"歌.mp3"_s << 3;
        QTest::newRow("file:// URI of the .lrc in a folder")
            << QStringList{u"uri:子目录/曲.lrc"_s} << QStringList() << u"子目录/曲.lrc"_s << 1;
        QTest::newRow("missing file")
            << QStringList{u"{dir}/无.mp3"_s} << QStringList() << u"无.mp3"_s << 0;
        QTest::newRow("missing lyric file beside an existing song")
            << QStringList{u"原唱.mp3"_s} << QStringList() << u"原唱.mp3"_s << 0;
        QTest::newRow("binary file")
            << QStringList{u"二进制.lrc"_s} << QStringList() << u"二进制.lrc"_s << 0;
        QTest::newRow("a folder named like a lyric file")
            << QStringList{u"文件夹.lrc"_s} << QStringList{u"文件夹"_s} << QString() << 0;
        QTest::newRow("a folder") << QStringList{u"{dir}"_s} << QStringList{u"文件夹"_s}
                                  << QString() << 0;
        QTest::newRow("two arguments: the first opens")
            << QStringList{u"歌.lrc"_s, u"子目录/曲.lrc"_s}
            << QStringList{u"一次只能打开一个文件，这些没有打开：\n子目录/曲.lrc"_s} << u"歌.lrc"_s
            << 3;
        QTest::newRow("unknown option, then the file")
            << QStringList{u"--loud"_s, u"歌.lrc"_s} << QStringList{u"不认识的选项：--loud"_s}
            << u"歌.lrc"_s << 3;
        QTest::newRow("unknown one-dash option is one option")
            << QStringList{u"-abc"_s, u"歌.lrc"_s} << QStringList{u"不认识的选项：-abc"_s}
            << u"歌.lrc"_s << 3;
        QTest::newRow("a name that starts with a dash, after --")
            << QStringList{u"--"_s, u"-横.lrc"_s} << QStringList() << u"-横.lrc"_s << 2;
        QTest::newRow("web address") << QStringList{u"https://example.org/歌.lrc"_s}
                                     << QStringList{u"这台电脑上的文件"_s} << QString() << 0;
        QTest::newRow("nothing") << QStringList() << QStringList() << QString() << 0;
    }

    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, ownBoxes);
        QFETCH(QString, sameAs);
        QFETCH(int, rows);

        QStringList argv{u"shengyunjian"_s};
        for (const QString &a : arguments)
            argv << expand(a);
        const CommandLine line(argv);
        QVERIFY(line.terminalAnswer().isEmpty());

        Window w;
        openFromCommandLine(w.form, w.platform, line);
        const Outcome got = outcomeOf(w.form, w.platform);
        QCOMPARE(w.form.sheet().count(), rows);
        QCOMPARE(w.form.Label3->text(), QString::number(rows));
        QVERIFY2(got.boxes.size() >= ownBoxes.size(), qPrintable(describe(got.boxes)));
        for (qsizetype i = 0; i < ownBoxes.size(); ++i)
            QVERIFY2(got.boxes[i].text.contains(ownBoxes[i]), qPrintable(describe(got.boxes)));
        QVERIFY(w.platform.dialog().shown.isEmpty());

        if (sameAs.isEmpty())
            QCOMPARE(got.boxes.size(), ownBoxes.size());
        else
            compareWithDialog(got, ownBoxes.size(), path(sameAs));
    }

    void terminalAnswer_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("answerHolds"); // empty: the window opens

        QTest::newRow("--help") << QStringList{u"--help"_s} << u"用法：shengyunjian [文件]"_s;
        QTest::newRow("-h with a file") << QStringList{u"歌.lrc"_s, u"-h"_s} << u"用法"_s;
        QTest::newRow("--version") << QStringList{u"--version"_s} << u"0.1"_s;
        QTest::newRow("-v") << QStringList{u"-v"_s} << u"声韵笺"_s;
        QTest::newRow("--help after -- is a file name")
            << QStringList{u"--"_s, u"--help"_s} << QString();
        QTest::newRow("-hv is no -h") << QStringList{u"-hv"_s} << QString();
        QTest::newRow("a file") << QStringList{u"歌.lrc"_s} << QString();
    }

    void terminalAnswer()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, answerHolds);
        const CommandLine line(QStringList{u"shengyunjian"_s} + arguments);
        if (answerHolds.isEmpty())
            QVERIFY2(line.terminalAnswer().isEmpty(), qPrintable(line.terminalAnswer()));
        else
            QVERIFY2(line.terminalAnswer().contains(answerHolds),
                     qPrintable(line.terminalAnswer()));
    }

    void commandLineOpensOnceShown()
    {
        Window w;
        openFromCommandLineWhenShown(w.form, w.platform,
                                     CommandLine({u"shengyunjian"_s, u"歌.mp3"_s}));
        QCOMPARE(w.form.sheet().count(), 0);
        QVERIFY(waitFor([&w] { return w.form.sheet().count() == 3; }));
        QVERIFY(w.platform.box().shown.isEmpty());
    }
};

QTEST_MAIN(TestOpenOutside)
#include "tst_openoutside.moc"
