// Saving the new lyrics, opening them again, and the question before unsaved
// new words are discarded.
#include "app/application.h"
#include "app/form1.h"
#include "app/rowpanel.h"
#include "platform/classicscrollbar.h"
#include "platform/filedialog.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"
#include "support/widgets.h"
#include "support/window.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace syj;
using namespace syj::test;

namespace {

// Original lyrics: one info line and two timed lines (CR LF, GBK).
const QStringList kOriginal = {u"[ti:月光]"_s, u"[00:01.00]床前明月光"_s,
                               u"[00:05.50]疑是地上霜"_s};

QByteArray crlf(const QStringList &lines)
{
    QByteArray out;
    for (const QString &l : lines)
        out += gbk(l) + "\r\n";
    return out;
}

} // namespace

class TestSave : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPlatform> m_platform;
    std::unique_ptr<Form1> m_form;

    QString path(const QString &name) const { return m_dir.filePath(name); }

    // A fresh window with `lines` loaded as the original lyrics.
    Form1 &loaded(const QStringList &lines = kOriginal)
    {
        m_form = std::make_unique<Form1>(*m_platform);
        const QString file = path(u"original.lrc"_s);
        writeFile(file, crlf(lines));
        m_form->commands().loadOriginalLyrics(file);
        return *m_form;
    }

    void type(int row, const QString &words)
    {
        QLineEdit *box = m_form->rows().newWordsBox(row - 1);
        box->setText(words);
        Q_EMIT box->textEdited(words); // as if typed: marks the words unsaved
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_dir.isValid()); }
    void init() { m_platform = std::make_unique<ScriptedPlatform>(); }
    void cleanup()
    {
        m_form.reset();
        m_platform.reset();
    }

    void savedBytes_data()
    {
        QTest::addColumn<QStringList>("original");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("three rows: tag+words, empty info row, tag+words")
            << QStringList{u"[00:01.00]a"_s, u"作者：某人"_s, u"[00:05.50]b"_s}
            << QStringList{u"abc"_s, QString(), u"xyz"_s}
            << QByteArray("[00:01.00]abc\r\n\r\n[00:05.50]xyz\r\n");
        QTest::newRow("empty words: tag alone / empty line")
            << QStringList{u"[01:02.03]原词"_s, u"[ar:x]"_s} << QStringList{QString(), QString()}
            << QByteArray("[01:02.03]\r\n\r\n");
        QTest::newRow("info row writes its new words alone")
            << QStringList{u"[ti:歌]"_s} << QStringList{u"新的标题"_s} << gbk(u"新的标题\r\n"_s);
        QTest::newRow("spaces kept, nothing inserted")
            << QStringList{u"[00:01.00]x"_s} << QStringList{u"  你 好  "_s}
            << QByteArray("[00:01.00]") + gbk(u"  你 好  "_s) + "\r\n";
        QTest::newRow("GBK bytes") << QStringList{u"[00:01.00]x"_s} << QStringList{u"你好"_s}
                                   << QByteArray("[00:01.00]\xC4\xE3\xBA\xC3\r\n");
        QTest::newRow("outside GBK: four-byte GB18030, never '?'")
            << QStringList{u"[00:01.00]x"_s} << QStringList{u"😀𠀀€"_s}
            << QByteArray("[00:01.00]") + QByteArray(QStringEncoder("GB18030").encode(u"😀𠀀€"_s)) +
                   "\r\n";
        QTest::newRow("odd tag kept as it stood")
            << QStringList{u"[ab:cd.ef]x"_s} << QStringList{u"词"_s}
            << QByteArray("[ab:cd.ef]") + gbk(u"词"_s) + "\r\n";
    }

    void savedBytes()
    {
        QFETCH(QStringList, original);
        QFETCH(QStringList, words);
        QFETCH(QByteArray, expected);
        Form1 &form = loaded(original);
        QCOMPARE(form.sheet().rowCount(), original.size());
        for (int i = 0; i < words.size(); ++i)
            type(i + 1, words[i]);
        const QString out = path(u"new.lrc"_s);
        QVERIFY(form.commands().saveNewLyricsTo(out));
        const QByteArray bytes = readFile(out);
        QCOMPARE(bytes, expected);
        QVERIFY(!bytes.contains('?'));
    }

    void saveThroughDialog()
    {
        Form1 &form = loaded();
        type(2, u"举头望明月"_s);
        ScriptedPlatform &platform = *m_platform;
        const QString out = path(u"dialog.lrc"_s);
        platform.choose(out);
        form.dcButton8_Click();

        QCOMPARE(platform.dialog().shown.size(), 1);
        const FileDialogRequest &r = platform.dialog().shown.first();
        QCOMPARE(r.mode, FileDialogRequest::Mode::Save);
        QCOMPARE(r.defaultExt, u"lrc"_s);
        QCOMPARE(r.fileName, QString());
        QCOMPARE(r.filterIndex, 1);
        QCOMPARE(r.dialogTitle, u"保存文本"_s);
        QCOMPARE(r.options, syj::FileOption::AskBeforeReplacing | syj::FileOption::PathMustExist);
        const QList<FileFilterEntry> entries = parseFileFilter(r.filter);
        QCOMPARE(entries.size(), 2);
        QCOMPARE(entries[0].description, u"歌词文件(*.lrc)"_s);
        QCOMPARE(entries[0].pattern, u"*.lrc"_s);
        QCOMPARE(entries[1].description, u"All files(*.*)"_s);
        QCOMPARE(entries[1].pattern, u"*.*"_s);
        QVERIFY(platform.box().shown.isEmpty());
        QCOMPARE(readFile(out), crlf({QString(), u"[00:01.00]举头望明月"_s, u"[00:05.50]"_s}));
        QVERIFY(!form.sheet().isModified());
        QCOMPARE(shownTitle(&form), u"声韵笺"_s);

        // The save's settings stay on the shared dialog for the next open.
        platform.cancel();
        form.dcButton6_Click();
        QCOMPARE(platform.dialog().shown.size(), 2);
        const FileDialogRequest &open = platform.dialog().shown.last();
        QCOMPARE(open.mode, FileDialogRequest::Mode::Open);
        QCOMPARE(open.dialogTitle, u"保存文本"_s);
        QCOMPARE(open.defaultExt, u"lrc"_s);
        QCOMPARE(open.options, syj::FileOptions(syj::FileOption::FileMustExist));
    }

    void cancelledSaveWritesNothing()
    {
        Form1 &form = loaded();
        type(2, u"x"_s);
        ScriptedPlatform &platform = *m_platform;
        platform.cancel();
        const QDir dir(m_dir.path());
        const QStringList before = dir.entryList(QDir::Files);
        form.dcButton8_Click();
        QCOMPARE(dir.entryList(QDir::Files), before);
        QVERIFY(platform.box().shown.isEmpty());
        QVERIFY(form.sheet().isModified());
    }

    void noRowsGiveAnEmptyFile_data()
    {
        QTest::addColumn<bool>("afterMissingLoad");
        QTest::newRow("nothing loaded yet") << false;
        QTest::newRow("after a load that found no lyric file") << true;
    }

    void noRowsGiveAnEmptyFile()
    {
        QFETCH(bool, afterMissingLoad);
        m_form = std::make_unique<Form1>(*m_platform);
        ScriptedPlatform &platform = *m_platform;
        if (afterMissingLoad) {
            m_form->commands().loadOriginalLyrics(path(u"nothing-here.mp3"_s));
            QCOMPARE(m_form->sheet().count(), 0);
        }
        const QString out = path(u"empty.lrc"_s);
        writeFile(out, "old content");
        platform.choose(out);
        m_form->dcButton8_Click();
        QVERIFY(QFileInfo::exists(out));
        QCOMPARE(readFile(out), QByteArray());
    }

    void overwriteReplacesEverything()
    {
        Form1 &form = loaded();
        const QString out = path(u"overwrite.lrc"_s);
        writeFile(out, QByteArray(10000, 'z'));
        type(1, u"短"_s);
        QVERIFY(form.commands().saveNewLyricsTo(out));
        QCOMPARE(readFile(out), crlf({u"短"_s, u"[00:01.00]"_s, u"[00:05.50]"_s}));
    }

    void failedSaveKeepsOldFileAndWords_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("existing");
        // Root ignores permissions, so make targets that cannot be written another way.
        QTest::newRow("folder is a file") << u"blocker/new.lrc"_s << QString();
        QTest::newRow("target is a folder") << u"adir.lrc"_s << QString();
    }

    void failedSaveKeepsOldFileAndWords()
    {
        QFETCH(QString, target);
        Form1 &form = loaded();
        writeFile(path(u"blocker"_s), "I am a file, not a folder");
        QDir(m_dir.path()).mkpath(u"adir.lrc"_s);
        const QByteArray blockerBefore = readFile(path(u"blocker"_s));
        type(2, u"留着"_s);

        ScriptedPlatform &platform = *m_platform;
        QVERIFY(!form.commands().saveNewLyricsTo(path(target)));
        QCOMPARE(platform.box().shown.size(), 1);
        const MessageBoxRequest &box = platform.box().shown.first();
        QCOMPARE(box.icon, MsgIcon::Critical);
        QVERIFY2(box.text.contains(QDir::toNativeSeparators(path(target))), qPrintable(box.text));
        QVERIFY(box.text.contains(u"原因"_s));
        QCOMPARE(readFile(path(u"blocker"_s)), blockerBefore);
        QVERIFY(QFileInfo(path(u"adir.lrc"_s)).isDir());
        QCOMPARE(form.rows().newWordsBox(1)->text(), u"留着"_s);
        QVERIFY(form.sheet().isModified());
    }

    void failedOverwriteLeavesOldBytes()
    {
        // An existing file in a folder where nothing can be created, not even by root:
        // the save fails and the old bytes stay exactly as they were.
        const QString out = u"/proc/version"_s;
        const QByteArray before = readFile(out);
        QVERIFY(!before.isEmpty());
        Form1 &form = loaded();
        type(1, u"新"_s);
        ScriptedPlatform &platform = *m_platform;
        QVERIFY(!form.commands().saveNewLyricsTo(out));
        QCOMPARE(readFile(out), before);
        QCOMPARE(platform.box().shown.size(), 1);
    }

    void roundTrip_data()
    {
        QTest::addColumn<QStringList>("original");
        QTest::addColumn<QStringList>("words");
        QTest::addColumn<QStringList>("restored");

        const QStringList orig = {u"[ti:歌名]"_s, u"[00:01.00]一"_s, u"[00:02.00]二"_s,
                                  u"[00:03.00]三"_s};
        QTest::newRow("words, spaces, empties")
            << orig << QStringList{u"新歌名"_s, u" 前有空格"_s, QString(), u"后有空格  "_s}
            << QStringList{u"新歌名"_s, u" 前有空格"_s, QString(), u"后有空格  "_s};
        QTest::newRow("characters outside GBK come back")
            << orig << QStringList{u"😀"_s, u"𠀀字"_s, u"é"_s, u"€"_s}
            << QStringList{u"😀"_s, u"𠀀字"_s, u"é"_s, u"€"_s};
        QTest::newRow("info row whose words begin with a tag loses the tag")
            << orig << QStringList{u"[00:10.00]abc"_s, u"x"_s, u"y"_s, u"z"_s}
            << QStringList{u"abc"_s, u"x"_s, u"y"_s, u"z"_s};
        QTest::newRow("timed row with a tag in its words keeps it")
            << orig << QStringList{QString(), u"[00:10.00]abc"_s, QString(), QString()}
            << QStringList{QString(), u"[00:10.00]abc"_s, QString(), QString()};
    }

    void roundTrip()
    {
        QFETCH(QStringList, original);
        QFETCH(QStringList, words);
        QFETCH(QStringList, restored);
        Form1 &form = loaded(original);
        for (int i = 0; i < words.size(); ++i)
            type(i + 1, words[i]);
        const QString out = path(u"roundtrip.lrc"_s);
        QVERIFY(form.commands().saveNewLyricsTo(out));

        Form1 &again = loaded(original);
        ScriptedPlatform &platform = *m_platform;
        QVERIFY(again.commands().loadNewLyrics(out));
        for (int i = 0; i < restored.size(); ++i)
            QCOMPARE(again.rows().newWordsBox(i)->text(), restored[i]);
        QVERIFY(platform.box().shown.isEmpty());
    }

    void openNewOnEmptySheet_data()
    {
        QTest::addColumn<bool>("afterMissingLoad");
        QTest::newRow("before any load") << false;
        QTest::newRow("after a load that found no lyric file") << true;
    }

    void openNewOnEmptySheet()
    {
        QFETCH(bool, afterMissingLoad);
        m_form = std::make_unique<Form1>(*m_platform);
        ScriptedPlatform &platform = *m_platform;
        if (afterMissingLoad) {
            m_form->commands().loadOriginalLyrics(path(u"nothing-here.mp3"_s));
            platform.box().shown.clear();
        }
        m_form->dcButton6_Click();
        QVERIFY(platform.dialog().shown.isEmpty());
        QCOMPARE(platform.box().shown.size(), 1);
        const MessageBoxRequest &box = platform.box().shown.first();
        QCOMPARE(box.text, u"请先载入原唱歌词"_s);
        QCOMPARE(box.buttons, MsgButtons::Ok);
        QCOMPARE(box.icon, MsgIcon::None);
        QCOMPARE(box.title, u"声韵笺"_s);
    }

    void openNewCancelled()
    {
        Form1 &form = loaded();
        ScriptedPlatform &platform = *m_platform;
        platform.cancel();
        form.dcButton6_Click();
        QCOMPARE(platform.box().shown.size(), 1);
        QCOMPARE(platform.box().shown.first().text, u"没有找到文件"_s);
        QCOMPARE(platform.box().shown.first().title, u"检查"_s);
        QCOMPARE(platform.dialog().shown.first().options,
                 syj::FileOptions(syj::FileOption::FileMustExist));
    }

    void openNewPlacesLinesByPosition_data()
    {
        QTest::addColumn<QStringList>("fileLines");
        QTest::addColumn<QStringList>("expected"); // Text2 of rows 1..3 afterwards
        QTest::addColumn<int>("leftOut");

        QTest::newRow("fewer lines: later rows keep their words")
            << QStringList{u"[00:09.00]甲"_s} << QStringList{u"甲"_s, u"旧二"_s, u"旧三"_s} << 0;
        QTest::newRow("more lines: rows filled, the rest left out")
            << QStringList{u"甲"_s, u"[00:00.00]乙"_s, u"丙"_s, u"丁"_s, u"戊"_s}
            << QStringList{u"甲"_s, u"乙"_s, u"丙"_s} << 2;
        QTest::newRow("empty line empties its box")
            << QStringList{QString(), u"[00:01.00]"_s}
            << QStringList{QString(), QString(), u"旧三"_s} << 0;
        QTest::newRow("tag of another width goes in whole")
            << QStringList{u"[01:23.456]x"_s, u"[01:23]y"_s}
            << QStringList{u"[01:23.456]x"_s, u"[01:23]y"_s, u"旧三"_s} << 0;
    }

    void openNewPlacesLinesByPosition()
    {
        QFETCH(QStringList, fileLines);
        QFETCH(QStringList, expected);
        QFETCH(int, leftOut);
        Form1 &form = loaded();
        form.rows().newWordsBox(0)->setText(u"旧一"_s);
        form.rows().newWordsBox(1)->setText(u"旧二"_s);
        form.rows().newWordsBox(2)->setText(u"旧三"_s);
        form.sheet().setModified(false); // words saved before
        form.Text2_GotFocus(2);
        form.VScroll1()->setValue(0);
        const QString label4 = form.Label4()->text();
        const int shapeTop = twipsTop(form.Shape1());
        const int panelTop = twipsTop(form.Picture2());

        const QString file = path(u"newwords.lrc"_s);
        writeFile(file, crlf(fileLines));
        ScriptedPlatform &platform = *m_platform;
        platform.choose(file);
        form.dcButton6_Click();

        for (int i = 0; i < 3; ++i)
            QCOMPARE(form.rows().newWordsBox(i)->text(), expected[i]);
        // Nothing else changes.
        QCOMPARE(form.rows().timeLabel(1)->text(), u"[00:01.00]"_s);
        QCOMPARE(form.rows().originalBox(1)->text(), u"床前明月光"_s);
        QCOMPARE(form.Label3()->text(), u"3"_s);
        QCOMPARE(form.Label4()->text(), label4);
        QCOMPARE(twipsTop(form.Shape1()), shapeTop);
        QCOMPARE(twipsTop(form.Picture2()), panelTop);
        QCOMPARE(form.sheet().count(), 3);
        if (leftOut > 0) {
            QCOMPARE(platform.box().shown.size(), 1);
            QVERIFY(platform.box().shown.first().text.contains(QString::number(leftOut)));
        } else {
            QVERIFY(platform.box().shown.isEmpty());
        }
    }

    // New lyrics go into rows out of view without asking each box to repaint;
    // whatever row the writer scrolls to shows its new words on the screen.
    void openNewShowsEveryRowOnScreen_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("scrollTo"); // VScroll1 value before looking; -1: as loaded
        QTest::newRow("last row, in view after the load") << 40 << -1;
        QTest::newRow("first row, scrolled to the top") << 1 << 0;
        QTest::newRow("a middle row, scrolled to") << 20 << 5000;
    }

    void openNewShowsEveryRowOnScreen()
    {
        QFETCH(int, row);
        QFETCH(int, scrollTo);
        QStringList original, words;
        for (int i = 1; i <= 40; ++i) {
            original << u"[00:%1.00]原词%1"_s.arg(i, 2, 10, QChar(u'0'));
            words << u"新词第%1句"_s.arg(i);
        }
        Form1 &form = loaded(original);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const QString file = path(u"shown.lrc"_s);
        writeFile(file, crlf(words));
        QVERIFY(form.commands().loadNewLyrics(file));
        QTest::qWait(50);
        if (scrollTo >= 0)
            form.VScroll1()->setValue(scrollTo);
        QTest::qWait(50);

        QLineEdit *box = form.rows().newWordsBox(row - 1);
        QCOMPARE(box->text(), words[row - 1]);
        const QRect at(box->mapTo(&form, QPoint()), box->size());
        QVERIFY2(form.rect().contains(at), "the row is not in view");
        // The window as it stands on the screen against the box drawn afresh,
        // inside the box's frame.
        const QRect inside = QRect(QPoint(), box->size()).adjusted(4, 4, -4, -4);
        const QImage screen =
            form.screen()->grabWindow(form.winId()).toImage().copy(inside.translated(at.topLeft()));
        const QImage fresh = box->grab().toImage().copy(inside);
        QCOMPARE(screen.convertToFormat(QImage::Format_RGB32),
                 fresh.convertToFormat(QImage::Format_RGB32));
    }

    // A box the program fills shows its line from the first character, as a
    // freshly filled text box does, however long the line.
    void filledBoxesShowTheirStart_data()
    {
        QTest::addColumn<bool>("newWords"); // the new words' box, filled by 打开新歌词
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("scrollTo"); // VScroll1 value before looking; -1: as loaded
        QTest::newRow("original words, row in view") << false << 30 << -1;
        QTest::newRow("original words, first row") << false << 1 << 0;
        QTest::newRow("new words, row in view") << true << 30 << -1;
        QTest::newRow("new words, row filled out of view") << true << 1 << 0;
    }

    void filledBoxesShowTheirStart()
    {
        QFETCH(bool, newWords);
        QFETCH(int, row);
        QFETCH(int, scrollTo);
        // 40 characters, far more than the box shows.
        const QString line =
            u"床前明月光疑是地上霜举头望明月低头思故乡春眠不觉晓处处闻啼鸟夜来风雨声花落知多少"_s;
        QCOMPARE(line.size(), 40);
        QStringList original, words;
        for (int i = 1; i <= 30; ++i) {
            original << u"[00:%1.00]"_s.arg(i, 2, 10, QChar(u'0')) + line;
            words << line;
        }
        Form1 &form = loaded(original);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        if (newWords) {
            const QString file = path(u"long-words.lrc"_s);
            writeFile(file, crlf(words));
            QVERIFY(form.commands().loadNewLyrics(file));
        }
        if (scrollTo >= 0)
            form.VScroll1()->setValue(scrollTo);
        QTest::qWait(50); // painted

        QLineEdit *box =
            newWords ? form.rows().newWordsBox(row - 1) : form.rows().originalBox(row - 1);
        QCOMPARE(box->text(), line);
        QCOMPARE(box->cursorPosition(), 0);
        // Where the first character is drawn: at the box's left, not scrolled away.
        const int cursorAt = box->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
        QVERIFY2(cursorAt < box->width() / 10, qPrintable(QString::number(cursorAt)));
    }

    void openNewReadsTheLyricFileOfTheChosenName()
    {
        Form1 &form = loaded();
        writeFile(path(u"song.lrc"_s), crlf({u"[00:00.00]新一"_s}));
        writeFile(path(u"song.mp3"_s), "not read");
        writeFile(path(u"alone.mp3"_s), "no lyric file beside me");
        ScriptedPlatform &platform = *m_platform;
        QVERIFY(form.commands().loadNewLyrics(path(u"song.mp3"_s)));
        QCOMPARE(form.rows().newWordsBox(0)->text(), u"新一"_s);

        form.rows().newWordsBox(0)->setText(u"留下"_s);
        form.sheet().setModified(false);
        QVERIFY(!form.commands().loadNewLyrics(path(u"alone.mp3"_s)));
        QCOMPARE(form.rows().newWordsBox(0)->text(), u"留下"_s);
        QCOMPARE(platform.box().shown.size(), 1);
        QVERIFY(platform.box().shown.first().text.contains(
            QDir::toNativeSeparators(path(u"alone.lrc"_s))));
    }

    void openNewRefusesNonText()
    {
        Form1 &form = loaded();
        form.rows().newWordsBox(0)->setText(u"留下"_s);
        writeFile(path(u"binary.lrc"_s), QByteArray("[00:01.00]\0\0\0x", 14));
        ScriptedPlatform &platform = *m_platform;
        QVERIFY(!form.commands().loadNewLyrics(path(u"binary.lrc"_s)));
        QCOMPARE(form.rows().newWordsBox(0)->text(), u"留下"_s);
        QCOMPARE(platform.box().shown.size(), 1);
    }

    // The question before unsaved new words are discarded, for each command and answer.
    void unsavedQuestion_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<int>("answer");        // MsgResult
        QTest::addColumn<bool>("saveDialogOk"); // for Save: the save dialog picks a file
        QTest::addColumn<bool>("goesOn");
        QTest::addColumn<bool>("written");

        for (const QString &command : {u"load"_s, u"openNew"_s, u"close"_s}) {
            const QByteArray c = command.toUtf8();
            QTest::newRow(QByteArray(c + " / save").constData())
                << command << int(MsgResult::Save) << true << true << true;
            QTest::newRow(QByteArray(c + " / save, dialog cancelled").constData())
                << command << int(MsgResult::Save) << false << false << false;
            QTest::newRow(QByteArray(c + " / discard").constData())
                << command << int(MsgResult::Discard) << true << true << false;
            QTest::newRow(QByteArray(c + " / cancel").constData())
                << command << int(MsgResult::Cancel) << true << false << false;
        }
    }

    void unsavedQuestion()
    {
        QFETCH(QString, command);
        QFETCH(int, answer);
        QFETCH(bool, saveDialogOk);
        QFETCH(bool, goesOn);
        QFETCH(bool, written);

        Form1 &form = loaded();
        form.show();
        type(2, u"没保存的词"_s);
        QVERIFY(form.sheet().isModified());
        QCOMPARE(shownTitle(&form), u"声韵笺*"_s);

        const QString other = path(u"other.lrc"_s);
        writeFile(other, crlf({u"[00:00.00]别的"_s}));
        const QString saved = path(u"asked.lrc"_s);
        QFile::remove(saved);

        ScriptedPlatform &platform = *m_platform;
        if (command != u"close"_s)
            platform.choose(other);
        platform.answer(static_cast<MsgResult>(answer));
        if (answer == int(MsgResult::Save)) {
            if (saveDialogOk)
                platform.choose(saved);
            else
                platform.cancel();
        }

        if (command == u"load"_s)
            form.dcButton3_Click();
        else if (command == u"openNew"_s)
            form.dcButton6_Click();
        else
            form.close();
        QCoreApplication::processEvents();

        QVERIFY(!platform.box().shown.isEmpty());
        const MessageBoxRequest &question = platform.box().shown.first();
        QCOMPARE(question.buttons, MsgButtons::SaveDiscardCancel);
        QCOMPARE(QFileInfo::exists(saved), written);
        if (written)
            QVERIFY(readFile(saved).contains(gbk(u"没保存的词"_s)));

        if (command == u"load"_s) {
            QCOMPARE(form.rows().originalBox(0)->text(), goesOn ? u"别的"_s : u"[ti:月光]"_s);
            QCOMPARE(form.sheet().rowCount(), goesOn ? 1 : 3);
        } else if (command == u"openNew"_s) {
            QCOMPARE(form.rows().newWordsBox(0)->text(), goesOn ? u"别的"_s : QString());
            QCOMPARE(form.rows().newWordsBox(1)->text(), u"没保存的词"_s);
        } else {
            QCOMPARE(form.isVisible(), !goesOn);
        }
    }

    void nothingAsksWhenNothingIsUnsaved()
    {
        Form1 &form = loaded();
        form.show();
        type(2, u"词"_s);
        QVERIFY(form.commands().saveNewLyricsTo(path(u"done.lrc"_s)));
        ScriptedPlatform &platform = *m_platform;
        const QString other = path(u"other2.lrc"_s);
        writeFile(other, crlf({u"[00:00.00]a"_s}));
        platform.choose(other);
        form.dcButton3_Click();
        QCOMPARE(form.sheet().rowCount(), 1);
        form.close();
        QVERIFY(!form.isVisible());
        QVERIFY(platform.box().shown.isEmpty());
    }

    void openedWordsCountAsUnsaved()
    {
        Form1 &form = loaded();
        const QString file = path(u"opened.lrc"_s);
        writeFile(file, crlf({u"a"_s}));
        QVERIFY(form.commands().loadNewLyrics(file));
        QVERIFY(form.sheet().isModified());
    }
};

SYJ_WINDOW_TEST_MAIN(TestSave)

#include "tst_save.moc"
