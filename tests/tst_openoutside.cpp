// Files that come from outside the window: named on the command line, or
// dropped on the window or on one of its players. A file for the sheet must
// end exactly as choosing it in 打开原唱歌词 ends, with the same boxes; the
// tables compare each case with that dialog run on a window of its own.
//
// Drags are sent to the window as the platform sends them (an enter, then a
// move, then the drop or a leave), so that Qt picks the widget under the point
// as it does for a real drag.
#include "app/application.h"
#include "app/commandline.h"
#include "app/form1.h"
#include "app/rowpanel.h"
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

struct DragAnswer {
    bool accepted = false;
    Qt::DropAction action = Qt::IgnoreAction;
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

    QMimeData *filesData(const QStringList &names) const
    {
        QList<QUrl> urls;
        for (const QString &name : names)
            urls << (name.contains(u"://"_s) ? QUrl(name) : QUrl::fromLocalFile(path(name)));
        auto *data = new QMimeData;
        data->setUrls(urls);
        return data;
    }

    // Where a drop lands: on the empty lyric panel, on the bottom panel
    // between the players, or on a player.
    static QPoint pointOf(const Form1 &form, const QString &where)
    {
        const auto centreOf = [&form](const QWidget *w) {
            return w->mapTo(&form, w->rect().center());
        };
        if (where == u"panel")
            return centreOf(&form) - QPoint(0, 100);
        if (where == u"bottom")
            return centreOf(form.Label2());
        if (where == u"player1")
            return centreOf(form.WindowsMediaPlayer1());
        if (where == u"player2")
            return centreOf(form.WindowsMediaPlayer2());
        return {};
    }

    // Drags `data` onto the window at `at` and drops it there if the window
    // shows it would take it; otherwise the drag leaves. Then lets the window
    // open what it took.
    static DragAnswer dragAndDrop(Form1 &form, QPoint at, const QMimeData &data,
                                  Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction |
                                                            Qt::LinkAction)
    {
        QWindow *window = form.windowHandle();
        QDragEnterEvent enter(at, actions, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(window, &enter);
        QDragMoveEvent move(at, actions, &data, Qt::LeftButton, {});
        // File managers propose a move when dragging within one disk.
        move.setDropAction(actions & Qt::MoveAction ? Qt::MoveAction : Qt::CopyAction);
        QCoreApplication::sendEvent(window, &move);
        const DragAnswer answer{move.isAccepted(), move.dropAction()};
        if (answer.accepted) {
            QDropEvent drop(at, actions, &data, Qt::LeftButton, {});
            drop.setDropAction(answer.action);
            QCoreApplication::sendEvent(window, &drop);
        } else {
            QDragLeaveEvent leave;
            QCoreApplication::sendEvent(window, &leave);
        }
        QCoreApplication::processEvents();
        return answer;
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
        QTest::newRow("missing file")
            << QStringList{u"{dir}/无.mp3"_s} << QStringList() << u"无.mp3"_s << 0;
        QTest::newRow("binary file")
            << QStringList{u"二进制.lrc"_s} << QStringList() << u"二进制.lrc"_s << 0;
        QTest::newRow("a folder named like a lyric file")
            << QStringList{u"文件夹.lrc"_s} << QStringList{u"文件夹"_s} << QString() << 0;
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
        QCOMPARE(w.form.Label3()->text(), QString::number(rows));
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
        QTest::newRow("--help after -- is a file name")
            << QStringList{u"--"_s, u"--help"_s} << QString();
        QTest::newRow("-hv is no -h") << QStringList{u"-hv"_s} << QString();
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

    // --- Drops --------------------------------------------------------------------

    void drop_data()
    {
        QTest::addColumn<QString>("where");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("actions"); // 0: copy, move and link
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("sameAs"); // the dialog's choice for the same rows and boxes
        QTest::addColumn<QString>("accompaniment");
        QTest::addColumn<QString>("original");

        const QStringList song{u"歌.mp3"_s};
        const QStringList lyrics{u"歌.lrc"_s};
        QTest::newRow("song file on the lyric panel")
            << u"panel"_s << song << 0 << true << u"歌.mp3"_s << QString() << QString();
        QTest::newRow(".lrc on the bottom panel")
            << u"bottom"_s << lyrics << 0 << true << u"歌.lrc"_s << QString() << QString();
        QTest::newRow("text file on the window: its .lrc is missing")
            << u"panel"_s << QStringList{u"说明.txt"_s} << 0 << true << u"说明.txt"_s << QString()
            << QString();
        QTest::newRow("WAV on the accompaniment player")
            << u"player1"_s << QStringList{u"伴奏.wav"_s} << 0 << true << QString() << u"伴奏.wav"_s
            << QString();
        QTest::newRow("MP3 on the original player")
            << u"player2"_s << QStringList{u"原唱.mp3"_s} << 0 << true << QString() << QString()
            << u"原唱.mp3"_s;
        QTest::newRow(".lrc on the accompaniment player goes to the sheet")
            << u"player1"_s << lyrics << 0 << true << u"歌.lrc"_s << QString() << QString();
        QTest::newRow(".lrc on the original player goes to the sheet")
            << u"player2"_s << QStringList{u"子目录/曲.lrc"_s} << 0 << true << u"子目录/曲.lrc"_s
            << QString() << QString();
        QTest::newRow("text file on a player: refused")
            << u"player1"_s << QStringList{u"说明.txt"_s} << 0 << false << QString() << QString()
            << QString();
        QTest::newRow("web address on the window: refused")
            << u"panel"_s << QStringList{u"https://example.org/歌.lrc"_s} << 0 << false << QString()
            << QString() << QString();
        QTest::newRow("two files on the window: refused")
            << u"panel"_s << QStringList{u"歌.lrc"_s, u"子目录/曲.lrc"_s} << 0 << false << QString()
            << QString() << QString();
        QTest::newRow("a folder on the window: refused")
            << u"panel"_s << QStringList{u"子目录"_s} << 0 << false << QString() << QString()
            << QString();
        QTest::newRow("a drag that can only move: refused")
            << u"panel"_s << lyrics << int(Qt::MoveAction) << false << QString() << QString()
            << QString();
        QTest::newRow("a drag that can only link: taken as a link")
            << u"panel"_s << lyrics << int(Qt::LinkAction) << true << u"歌.lrc"_s << QString()
            << QString();
    }

    void drop()
    {
        QFETCH(QString, where);
        QFETCH(QStringList, files);
        QFETCH(int, actions);
        QFETCH(bool, accepted);
        QFETCH(QString, sameAs);
        QFETCH(QString, accompaniment);
        QFETCH(QString, original);

        Window w;
        const std::unique_ptr<QMimeData> data(filesData(files));
        const Qt::DropActions possible =
            actions ? Qt::DropActions(actions) : Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
        const DragAnswer answer = dragAndDrop(w.form, pointOf(w.form, where), *data, possible);
        QCOMPARE(answer.accepted, accepted);
        if (accepted) {
            // Never a move: the file manager would delete the file.
            QCOMPARE(answer.action, possible & Qt::CopyAction ? Qt::CopyAction : Qt::LinkAction);
        }

        const auto urlOf = [this](const QString &name) {
            return name.isEmpty() ? QString() : path(name);
        };
        QCOMPARE(w.form.WindowsMediaPlayer1()->player()->URL(), urlOf(accompaniment));
        QCOMPARE(w.form.WindowsMediaPlayer2()->player()->URL(), urlOf(original));
        QVERIFY(w.platform.dialog().shown.isEmpty());
        const Outcome got = outcomeOf(w.form, w.platform);
        if (sameAs.isEmpty()) {
            QCOMPARE(w.form.sheet().count(), 0);
            QVERIFY2(got.boxes.isEmpty(), qPrintable(describe(got.boxes)));
        } else {
            compareWithDialog(got, 0, path(sameAs));
        }
    }

    // The window's answer follows the pointer: onto a player, off it again.
    void dragAnswerFollowsThePointer()
    {
        Window w;
        const std::unique_ptr<QMimeData> data(filesData({u"说明.txt"_s}));
        QWindow *window = w.form.windowHandle();
        const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
        QDragEnterEvent enter(pointOf(w.form, u"panel"_s), actions, data.get(), Qt::LeftButton, {});
        QCoreApplication::sendEvent(window, &enter);
        QVERIFY(enter.isAccepted());
        for (const auto &[where, taken] :
             {std::pair{u"bottom"_s, true}, std::pair{u"player1"_s, false},
              std::pair{u"panel"_s, true}, std::pair{u"player2"_s, false}}) {
            QDragMoveEvent move(pointOf(w.form, where), actions, data.get(), Qt::LeftButton, {});
            QCoreApplication::sendEvent(window, &move);
            QVERIFY2(move.isAccepted() == taken, qPrintable(where));
        }
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(window, &leave);
    }

    // A file dragged over a row's box is for the window, not text for the box.
    void dropOnRowBoxOpensTheFile()
    {
        Window w;
        w.form.openFromOutside(path(u"歌.lrc"_s));
        QCOMPARE(w.form.sheet().count(), 3);
        QLineEdit *box = w.form.rows().newWordsBox(0);
        const QPoint at = box->mapTo(&w.form, box->rect().center());
        std::unique_ptr<QMimeData> data(filesData({u"子目录/曲.lrc"_s}));
        // File managers send the path as text too.
        data->setText(path(u"子目录/曲.lrc"_s));
        QVERIFY(dragAndDrop(w.form, at, *data).accepted);
        QCOMPARE(w.form.sheet().count(), 1);
        QCOMPARE(w.form.sheet().at(0).newWords, QString());
        QVERIFY(!w.form.sheet().isModified());
    }

    void dropAsksAboutUnsavedWords_data()
    {
        QTest::addColumn<int>("answer");
        QTest::addColumn<int>("rows");
        QTest::newRow("不保存: loads") << int(MsgResult::Discard) << 1;
        QTest::newRow("取消: keeps the rows") << int(MsgResult::Cancel) << 3;
    }

    void dropAsksAboutUnsavedWords()
    {
        QFETCH(int, answer);
        QFETCH(int, rows);
        Window w;
        w.form.openFromOutside(path(u"歌.lrc"_s));
        typeText(w.form.rows().newWordsBox(1), u"新词"_s);
        QVERIFY(w.form.sheet().isModified());
        w.platform.answer(MsgResult(answer));
        const std::unique_ptr<QMimeData> data(filesData({u"子目录/曲.lrc"_s}));
        QVERIFY(dragAndDrop(w.form, pointOf(w.form, u"panel"_s), *data).accepted);
        QCOMPARE(w.platform.box().shown.size(), 1);
        QCOMPARE(w.platform.box().shown[0].buttons, MsgButtons::SaveDiscardCancel);
        QCOMPARE(w.form.sheet().count(), rows);
    }

    // While the original lyrics load, the sheet takes no drop; the players do.
    void dropWhileLoading()
    {
        Window w;
        const std::unique_ptr<QMimeData> lyrics(filesData({u"子目录/曲.lrc"_s}));
        const std::unique_ptr<QMimeData> song(filesData({u"伴奏.wav"_s}));
        DragAnswer onPanel, onPlayer;
        QObject::connect(&w.form.sheet(), &LyricSheetModel::rowsInserted, &w.form, [&] {
            if (w.form.sheet().count() != 1)
                return;
            onPanel = dragAndDrop(w.form, pointOf(w.form, u"panel"_s), *lyrics);
            onPlayer = dragAndDrop(w.form, pointOf(w.form, u"player1"_s), *song);
        });
        w.form.openFromOutside(path(u"歌.lrc"_s));
        QVERIFY(!onPanel.accepted);
        QVERIFY(onPlayer.accepted);
        QCOMPARE(w.form.sheet().count(), 3);
        QCOMPARE(w.form.WindowsMediaPlayer1()->player()->URL(), path(u"伴奏.wav"_s));
        QVERIFY(w.platform.box().shown.isEmpty());
    }

    // As its open button does, the drop pauses the other player.
    void dropOnPlayerPausesTheOther()
    {
        Window w;
        AudioPlayer *accompaniment = w.form.WindowsMediaPlayer1()->player();
        AudioPlayer *original = w.form.WindowsMediaPlayer2()->player();
        original->setURL(path(u"原唱.wav"_s));
        QVERIFY(waitFor([original] { return original->isPlaying(); }));
        const std::unique_ptr<QMimeData> data(filesData({u"伴奏.wav"_s}));
        QVERIFY(dragAndDrop(w.form, pointOf(w.form, u"player1"_s), *data).accepted);
        QVERIFY(!original->isPlaying());
        QVERIFY(waitFor([accompaniment] { return accompaniment->isPlaying(); }));
    }
};

QTEST_MAIN(TestOpenOutside)
#include "tst_openoutside.moc"
