// Loading the original lyrics into the rows of the main window: 打开原唱歌词
// and the loader behind it, on real files written into a temporary folder.
//
// Row k (k = 1, 2, ...) stands at 840 + 400 k twips inside the lyric panel; the
// panel is 1200 twips taller than the last row's Top, and the scroll bar's
// maximum is the panel's height less the 7695 twips of the visible lyric area.
// The expected numbers in the tables are written out, not computed from the
// same formulas, so that a wrong formula in the program shows.

#include "app/form1.h"
#include "app/rowpanel.h"
#include "platform/classicscrollbar.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "sheet/filerequests.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/platformtools.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"
#include "support/widgets.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using syj::Form1;
using syj::MsgButtons;
using syj::MsgIcon;
using syj::MsgResult;
using syj::test::ScriptedPlatform;
using syj::test::typeText;

namespace {

// The time tag of line k of a generated file: minutes, seconds, hundredths.
QString tagOf(int k)
{
    return u"[%1:%2.%3]"_s.arg(k / 60 % 100, 2, 10, QChar(u'0'))
        .arg(k % 60, 2, 10, QChar(u'0'))
        .arg(k % 100, 2, 10, QChar(u'0'));
}

// Line k (from 1) of a generated lyric file: every seventh line from the third
// on is an info line, the others are timed.
bool isInfoLine(int k)
{
    return k % 7 == 3;
}
QString labelOf(int k)
{
    return isInfoLine(k) ? u"信息"_s : tagOf(k);
}
QString wordsOf(int k)
{
    return isInfoLine(k) ? u"[ar:歌手%1]"_s.arg(k) : u"第%1句，风吹过"_s.arg(k);
}

// A lyric file of n generated lines, each ended by CR LF, in GBK.
QByteArray generatedFile(int n, const std::function<QString(int)> &words = wordsOf)
{
    QString text;
    for (int k = 1; k <= n; ++k) {
        text += isInfoLine(k) ? words(k) : tagOf(k) + words(k);
        text += u"\r\n"_s;
    }
    return syj::test::gbk(text);
}

// What is wrong with row k (empty when nothing is): all five widgets exist at
// Top 840 + 400 k, with the label and words given and no new words.
QString rowProblem(const Form1 &form, int k, const QString &label, const QString &words)
{
    const QList<QWidget *> widgets = {form.rows().timeLabel(k - 1), form.rows().originalBox(k - 1),
                                      form.rows().newWordsBox(k - 1),
                                      form.rows().accompanimentButton(k - 1),
                                      form.rows().recordingButton(k - 1)};
    const QStringList names = {u"Label1"_s, u"Text1"_s, u"Text2"_s, u"dcButton2"_s, u"dcButton5"_s};
    const int top = syj::kRowTemplateTop + syj::kRowPitch * k;
    for (qsizetype i = 0; i < widgets.size(); ++i) {
        const QWidget *w = widgets[i];
        if (!w)
            return u"row %1: %2 missing"_s.arg(k).arg(names[i]);
        if (w->parentWidget() != form.Picture2())
            return u"row %1: %2 not in the lyric panel"_s.arg(k).arg(names[i]);
        if (syj::twipsTop(w) != top)
            return u"row %1: %2 at Top %3, not %4"_s.arg(k)
                .arg(names[i])
                .arg(syj::twipsTop(w))
                .arg(top);
        if (w->y() != syj::twipsToPixels(top))
            return u"row %1: %2 at pixel %3, not %4"_s.arg(k).arg(names[i]).arg(w->y()).arg(
                syj::twipsToPixels(top));
        if (w->isHidden())
            return u"row %1: %2 hidden"_s.arg(k).arg(names[i]);
    }
    if (form.rows().timeLabel(k - 1)->text() != label)
        return u"row %1: label \"%2\", not \"%3\""_s.arg(k).arg(
            form.rows().timeLabel(k - 1)->text(), label);
    if (form.rows().originalBox(k - 1)->text() != words)
        return u"row %1: words \"%2\", not \"%3\""_s.arg(k).arg(
            form.rows().originalBox(k - 1)->text(), words);
    if (!form.rows().newWordsBox(k - 1)->text().isEmpty())
        return u"row %1: new words \"%2\" in a fresh row"_s.arg(k).arg(
            form.rows().newWordsBox(k - 1)->text());
    // The row's label is brought in front of the row's other widgets.
    const QObjectList order = form.Picture2()->children();
    const qsizetype labelAt = order.indexOf(form.rows().timeLabel(k - 1));
    for (qsizetype i = 1; i < widgets.size(); ++i) {
        if (order.indexOf(widgets[i]) > labelAt)
            return u"row %1: %2 in front of the label"_s.arg(k).arg(names[i]);
    }
    return {};
}

// Every row of the sheet has its five widgets and a label, and nothing is
// left behind beyond them.
QString sheetProblem(const Form1 &form)
{
    const syj::RowPanel &rows = form.rows();
    const int count = form.sheet().count();
    for (int row = 0; row < count; ++row) {
        if (!rows.timeLabel(row) || !rows.originalBox(row) || !rows.newWordsBox(row) ||
            !rows.accompanimentButton(row) || !rows.recordingButton(row))
            return u"row %1 is incomplete"_s.arg(row + 1);
        if (rows.timeLabel(row)->text().isEmpty())
            return u"row %1 has no label"_s.arg(row + 1);
    }
    if (rows.count() != count || rows.newWordsBox(count) || rows.timeLabel(count))
        return u"%1 rows, but %2 rows of widgets"_s.arg(count).arg(rows.count());
    // Each row's widgets and the templates, and nothing left of rows that went
    // (the header is a label too).
    const int expected = count + 1;
    const QWidget *panel = form.Picture2();
    const auto edits = panel->findChildren<QLineEdit *>(Qt::FindDirectChildrenOnly);
    const auto buttons = panel->findChildren<QPushButton *>(Qt::FindDirectChildrenOnly);
    const auto labels = panel->findChildren<QLabel *>(Qt::FindDirectChildrenOnly);
    if (edits.size() != 2 * expected || buttons.size() != 2 * expected ||
        labels.size() != expected + 1)
        return u"%1 text boxes, %2 buttons and %3 labels in the panel for %4 rows"_s
            .arg(edits.size())
            .arg(buttons.size())
            .arg(labels.size())
            .arg(count);
    return {};
}

// Runs `act` once, from inside the loader's event pumping, as soon as the
// sheet is loading and has rows up to `row` - 1.
class DuringLoad
{
public:
    DuringLoad(Form1 &form, int row, std::function<void()> act) : m_act(std::move(act))
    {
        m_timer.setInterval(0);
        QObject::connect(&m_timer, &QTimer::timeout, [this, &form, row] {
            if (m_fired || !form.sheet().isLoading() || form.sheet().count() + 1 < row)
                return;
            m_fired = true;
            m_firedAt = form.sheet().count() + 1;
            m_act();
        });
        m_timer.start();
    }
    bool fired() const { return m_fired; }
    int firedAt() const { return m_firedAt; }

private:
    QTimer m_timer;
    std::function<void()> m_act;
    bool m_fired = false;
    int m_firedAt = 0;
};

// The current data tag, usable in a file name.
QString tagName()
{
    QString tag = QString::fromUtf8(QTest::currentDataTag());
    for (QChar &c : tag) {
        if (!c.isLetterOrNumber())
            c = u'_';
    }
    return tag;
}

int boxesWith(ScriptedPlatform &p, MsgButtons buttons)
{
    int n = 0;
    for (const auto &b : p.box().shown)
        n += b.buttons == buttons ? 1 : 0;
    return n;
}

} // namespace

class TestLoader : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString file(const QString &name) const { return m_dir.filePath(name); }

    // Writes a lyric file `name` + ".lrc" and returns the music file name that
    // belongs to it (name + ".mp3", which need not exist).
    QString lyrics(const QString &name, const QByteArray &bytes) const
    {
        if (!syj::test::writeFile(file(name + u".lrc"_s), bytes))
            return {};
        return file(name + u".mp3"_s);
    }

    // 打开原唱歌词 with `chosen` picked in the open dialog.
    static void openOriginal(Form1 &form, ScriptedPlatform &p, const QString &chosen)
    {
        p.choose(chosen);
        form.dcButton3_Click();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The rows, the panel and the scroll bar after loading n lines.
    void rowsAndScrolling_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("panelHeight");
        QTest::addColumn<int>("scrollMax");
        QTest::addColumn<QList<int>>("sample"); // rows checked one by one; empty: all

        QTest::newRow("1 row: panel pushed down") << 1 << 2440 << -5255 << QList<int>{};
        QTest::newRow("3 rows") << 3 << 3240 << -4455 << QList<int>{};
        QTest::newRow("14 rows: last backwards bar") << 14 << 7640 << -55 << QList<int>{};
        QTest::newRow("15 rows: first forward bar") << 15 << 8040 << 345 << QList<int>{};
        QTest::newRow("96 rows") << 96 << 40440 << 32745 << QList<int>{};
        QTest::newRow("97 rows: past 16 bits") << 97 << 40840 << 33145 << QList<int>{};
        QTest::newRow("1000 rows")
            << 1000 << 402040 << 394345 << QList<int>{1, 2, 3, 82, 83, 84, 500, 998, 999, 1000};
    }

    void rowsAndScrolling()
    {
        QFETCH(int, lines);
        QFETCH(int, panelHeight);
        QFETCH(int, scrollMax);
        QFETCH(QList<int>, sample);

        ScriptedPlatform p;
        Form1 form(p);
        const QString chosen = lyrics(u"rows%1"_s.arg(lines), generatedFile(lines));
        QVERIFY(!chosen.isEmpty());

        QElapsedTimer clock;
        clock.start();
        openOriginal(form, p, chosen);
        const qint64 ms = clock.elapsed();
        if (lines >= 96)
            qInfo("loading %d rows took %lld ms", lines, ms);

        QCOMPARE(p.dialog().shown.size(), 1);
        QCOMPARE(p.dialog().shown[0].mode, syj::FileDialogRequest::Mode::Open);
        QVERIFY2(p.box().shown.isEmpty(),
                 qPrintable(p.box().shown.isEmpty() ? QString() : p.box().shown[0].text));
        QVERIFY(!form.sheet().isLoading());

        QCOMPARE(form.Label3()->text(), QString::number(lines));
        QCOMPARE(form.sheet().count(), lines);
        QCOMPARE(form.sheet().rowCount(), lines);
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        QVERIFY(!form.rows().originalBox(lines));

        if (sample.isEmpty()) {
            for (int k = 1; k <= lines; ++k)
                sample << k;
        }
        for (int k : std::as_const(sample)) {
            const QString problem = rowProblem(form, k, labelOf(k), wordsOf(k));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        // The sheet's data holds the lines as read, the last one included.
        const syj::LyricRow &last = form.sheet().at(lines - 1);
        QCOMPARE(last.tag + last.originalWords,
                 isInfoLine(lines) ? wordsOf(lines) : tagOf(lines) + wordsOf(lines));

        QCOMPARE(syj::twipsHeight(form.Picture2()), panelHeight);
        QCOMPARE(form.VScroll1()->max(), scrollMax);
        QCOMPARE(form.VScroll1()->value(), scrollMax);
        QCOMPARE(syj::twipsTop(form.Picture2()), -scrollMax);
        QCOMPARE(form.Picture2()->y(), syj::twipsToPixels(-scrollMax));

        // The last row stands inside the visible lyric area.
        const QPoint lastAt = form.rows().originalBox(lines - 1)->mapTo(&form, QPoint(0, 0));
        QVERIFY2(lastAt.y() >= 0 && lastAt.y() + form.rows().originalBox(lines - 1)->height() <=
                                        form.VScroll1()->height(),
                 qPrintable(u"last row at pixel %1"_s.arg(lastAt.y())));
    }

    // Reading the file: code page, byte-order mark and line ends.
    void lineEndsAndEncodings_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("labels");
        QTest::addColumn<QStringList>("words");

        const QString info = u"信息"_s;
        QTest::newRow("GBK, CR LF")
            << syj::test::gbk(u"[00:01.00]你好\r\n[00:02.50]世界\r\n"_s)
            << QStringList{u"[00:01.00]"_s, u"[00:02.50]"_s} << QStringList{u"你好"_s, u"世界"_s};
        QTest::newRow("GBK info lines")
            << syj::test::gbk(u"[ti:你好]\r\n[ar:歌手]\r\n"_s) << QStringList{info, info}
            << QStringList{u"[ti:你好]"_s, u"[ar:歌手]"_s};
        QTest::newRow("GB18030 four-byte character")
            << syj::test::gbk(u"[00:01.00]😀啊\r\n"_s) << QStringList{u"[00:01.00]"_s}
            << QStringList{u"😀啊"_s};
        QTest::newRow("UTF-8 with BOM")
            << QByteArray("\xEF\xBB\xBF") + u"[00:01.00]你好\r\n[00:02.00]世界\r\n"_s.toUtf8()
            << QStringList{u"[00:01.00]"_s, u"[00:02.00]"_s} << QStringList{u"你好"_s, u"世界"_s};
        QTest::newRow("UTF-8 BOM before an info line")
            << QByteArray("\xEF\xBB\xBF") + u"[ti:你好]\r\n"_s.toUtf8() << QStringList{info}
            << QStringList{u"[ti:你好]"_s};
        QTest::newRow("UTF-8 without BOM")
            << u"[00:01.00]你好\r\n[00:02.00]😀\r\n"_s.toUtf8()
            << QStringList{u"[00:01.00]"_s, u"[00:02.00]"_s} << QStringList{u"你好"_s, u"😀"_s};
        QTest::newRow("ASCII only") << QByteArray("[00:01.00]la la\r\n")
                                    << QStringList{u"[00:01.00]"_s} << QStringList{u"la la"_s};
        QTest::newRow("lone CR") << QByteArray("a\rb\r") << QStringList{info, info}
                                 << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\n") << QStringList{info, info}
                               << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("lone LF is no line end")
            << QByteArray("a\nb\n") << QStringList{info} << QStringList{u"a\nb\n"_s};
        QTest::newRow("lone LF in a timed line")
            << QByteArray("[00:01.00]a\nb\r\n[00:02.00]c\r\n")
            << QStringList{u"[00:01.00]"_s, u"[00:02.00]"_s} << QStringList{u"a\nb"_s, u"c"_s};
        QTest::newRow("LF CR") << QByteArray("a\n\rb") << QStringList{info, info}
                               << QStringList{u"a\n"_s, u"b"_s};
        QTest::newRow("CR CR LF") << QByteArray("a\r\r\nb\r\n") << QStringList{info, info, info}
                                  << QStringList{u"a"_s, QString(), u"b"_s};
        QTest::newRow("no final line end")
            << QByteArray("a\r\nb") << QStringList{info, info} << QStringList{u"a"_s, u"b"_s};
        QTest::newRow("empty last line")
            << QByteArray("a\r\n\r\n") << QStringList{info, info} << QStringList{u"a"_s, QString()};
        QTest::newRow("only a line end")
            << QByteArray("\r\n") << QStringList{info} << QStringList{QString()};
        QTest::newRow("mixed line ends") << syj::test::gbk(u"[00:01.00]一\r[00:02.00]二\r\n三"_s)
                                         << QStringList{u"[00:01.00]"_s, u"[00:02.00]"_s, info}
                                         << QStringList{u"一"_s, u"二"_s, u"三"_s};
        QTest::newRow("tag without words")
            << QByteArray("[00:01.00]\r\n") << QStringList{u"[00:01.00]"_s}
            << QStringList{QString()};
        QTest::newRow("nine characters of a tag")
            << QByteArray("[00:01.00\r\n") << QStringList{info} << QStringList{u"[00:01.00"_s};
        QTest::newRow("any characters between the marks")
            << syj::test::gbk(u"[ab:你d.好好]词\r\n"_s) << QStringList{u"[ab:你d.好好]"_s}
            << QStringList{u"词"_s};
        QTest::newRow("blank lines between")
            << QByteArray("a\r\n\r\n\r\nb\r\n") << QStringList{info, info, info, info}
            << QStringList{u"a"_s, QString(), QString(), u"b"_s};
    }

    void lineEndsAndEncodings()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, labels);
        QFETCH(QStringList, words);
        QCOMPARE(labels.size(), words.size());

        ScriptedPlatform p;
        Form1 form(p);
        const QString chosen = lyrics(u"ends-"_s + tagName(), bytes);
        QVERIFY(!chosen.isEmpty());
        openOriginal(form, p, chosen);

        QVERIFY2(p.box().shown.isEmpty(),
                 qPrintable(p.box().shown.isEmpty() ? QString() : p.box().shown[0].text));
        const int rows = int(labels.size());
        QCOMPARE(form.Label3()->text(), QString::number(rows));
        QCOMPARE(form.sheet().count(), rows);
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        for (int k = 1; k <= rows; ++k) {
            const QString problem = rowProblem(form, k, labels[k - 1], words[k - 1]);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
    }

    // Which lyric file belongs to the chosen file.
    void lyricFileOfChosenName_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("words"); // of the only row

        QTest::newRow("歌.mp3 -> 歌.lrc") << u"歌.mp3"_s << u"歌"_s;
        QTest::newRow("歌.lrc -> itself") << u"歌.lrc"_s << u"歌"_s;
        QTest::newRow("歌.wav -> 歌.lrc") << u"歌.wav"_s << u"歌"_s;
        QTest::newRow("歌.flac -> 歌..lrc") << u"歌.flac"_s << u"歌点"_s;
        QTest::newRow("😀.mp3 -> 😀.lrc") << u"😀.mp3"_s << u"笑脸"_s;
        QTest::newRow("two characters -> .lrc") << u"ab"_s << u"点"_s;
        QTest::newRow("four characters -> .lrc") << u"abcd"_s << u"点"_s;
    }

    void lyricFileOfChosenName()
    {
        QFETCH(QString, chosen);
        QFETCH(QString, words);

        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(syj::test::writeFile(dir.filePath(u"歌.lrc"_s), syj::test::gbk(u"[00:01.00]歌"_s)));
        QVERIFY(
            syj::test::writeFile(dir.filePath(u"歌..lrc"_s), syj::test::gbk(u"[00:01.00]歌点"_s)));
        QVERIFY(
            syj::test::writeFile(dir.filePath(u"😀.lrc"_s), syj::test::gbk(u"[00:01.00]笑脸"_s)));
        QVERIFY(syj::test::writeFile(dir.filePath(u".lrc"_s), syj::test::gbk(u"[00:01.00]点"_s)));

        ScriptedPlatform p;
        Form1 form(p);
        openOriginal(form, p, dir.filePath(chosen));
        QVERIFY2(p.box().shown.isEmpty(),
                 qPrintable(p.box().shown.isEmpty() ? QString() : p.box().shown[0].text));
        QCOMPARE(form.Label3()->text(), u"1"_s);
        const QString problem = rowProblem(form, 1, u"[00:01.00]"_s, words);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    // A short chosen name whose lyric file is not there.
    void shortNameWithoutLyricFile_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::newRow("a") << u"a"_s;
        QTest::newRow("ab") << u"ab"_s;
        QTest::newRow("abc") << u"abc"_s;
        QTest::newRow("😀") << u"😀"_s;
    }

    void shortNameWithoutLyricFile()
    {
        QFETCH(QString, chosen);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());

        ScriptedPlatform p;
        Form1 form(p);
        openOriginal(form, p, dir.filePath(chosen));
        QCOMPARE(form.sheet().count(), 0);
        QCOMPARE(form.Label3()->text(), u"0"_s);
        QCOMPARE(p.box().shown.size(), 1);
        // The lyric file looked for stays in the chosen file's folder.
        QVERIFY2(p.box().shown[0].text.contains(QDir::toNativeSeparators(dir.filePath(u".lrc"_s))),
                 qPrintable(p.box().shown[0].text));
    }

    // A cancelled dialog leaves everything as it was.
    void cancelledDialog()
    {
        ScriptedPlatform p;
        Form1 form(p);
        openOriginal(form, p, lyrics(u"cancel"_s, generatedFile(3)));
        QCOMPARE(form.Label3()->text(), u"3"_s);
        const int height = syj::twipsHeight(form.Picture2());
        const int value = form.VScroll1()->value();

        p.cancel();
        form.dcButton3_Click();
        QCOMPARE(p.dialog().shown.size(), 2);
        QCOMPARE(p.box().shown.size(), 1);
        const syj::MessageBoxRequest &box = p.box().shown[0];
        QCOMPARE(box.text, u"没有找到文件"_s);
        QCOMPARE(box.title, u"检查"_s);
        QCOMPARE(box.buttons, MsgButtons::RetryCancel);
        QCOMPARE(box.icon, MsgIcon::Question);

        QCOMPARE(form.Label3()->text(), u"3"_s);
        QCOMPARE(form.sheet().count(), 3);
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        for (int k = 1; k <= 3; ++k) {
            const QString problem = rowProblem(form, k, labelOf(k), wordsOf(k));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(syj::twipsHeight(form.Picture2()), height);
        QCOMPARE(form.VScroll1()->value(), value);
    }

    // A second load replaces the rows of the first; typed new words are asked
    // about first.
    void loadTwice_data()
    {
        QTest::addColumn<bool>("typed");      // new words typed after the first load
        QTest::addColumn<int>("answer");      // to the question, -1: none expected
        QTest::addColumn<bool>("sameFile");   // the second load reads the same file
        QTest::addColumn<bool>("replaced");   // the second file's rows are shown
        QTest::addColumn<bool>("savedFirst"); // the typed words were saved

        QTest::newRow("same file, nothing typed") << false << -1 << true << true << false;
        QTest::newRow("shorter file, nothing typed") << false << -1 << false << true << false;
        QTest::newRow("typed, discard")
            << true << int(MsgResult::Discard) << false << true << false;
        QTest::newRow("typed, cancel") << true << int(MsgResult::Cancel) << false << false << false;
        QTest::newRow("typed, save") << true << int(MsgResult::Save) << false << true << true;
        QTest::newRow("typed, save, save dialog cancelled")
            << true << int(MsgResult::Save) << false << false << false;
        QTest::newRow("typed, same file, discard")
            << true << int(MsgResult::Discard) << true << true << false;
    }

    void loadTwice()
    {
        QFETCH(bool, typed);
        QFETCH(int, answer);
        QFETCH(bool, sameFile);
        QFETCH(bool, replaced);
        QFETCH(bool, savedFirst);

        const QString tag = tagName();
        const QString first = lyrics(u"twice-a-"_s + tag, generatedFile(20));
        const QString second =
            sameFile ? first
                     : lyrics(u"twice-b-"_s + tag,
                              generatedFile(5, [](int k) { return u"再来%1"_s.arg(k); }));
        const QString savePath = file(u"twice-saved-"_s + tag + u".lrc"_s);
        QVERIFY(!first.isEmpty() && !second.isEmpty());

        ScriptedPlatform p;
        Form1 form(p);
        openOriginal(form, p, first);
        QCOMPARE(form.Label3()->text(), u"20"_s);
        if (typed) {
            typeText(form.rows().newWordsBox(1), u"新词"_s);
            QCOMPARE(form.rows().newWordsBox(1)->text(), u"新词"_s);
            QVERIFY(form.sheet().isModified());
        }
        p.box().shown.clear();
        if (answer >= 0)
            p.answer(MsgResult(answer));
        p.choose(second);
        if (savedFirst)
            p.choose(savePath); // the save dialog that 保存 brings up
        form.dcButton3_Click();

        QCOMPARE(boxesWith(p, MsgButtons::SaveDiscardCancel), answer >= 0 ? 1 : 0);
        QVERIFY2(p.box().shown.size() == (answer >= 0 ? 1 : 0),
                 qPrintable(p.box().shown.isEmpty() ? QString() : p.box().shown.last().text));
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        if (savedFirst) {
            const QByteArray saved = syj::test::readFile(savePath);
            QVERIFY2(saved.contains(syj::test::gbk(tagOf(2) + u"新词\r\n"_s)), saved.constData());
        }
        if (!replaced) {
            QCOMPARE(form.Label3()->text(), u"20"_s);
            QCOMPARE(form.sheet().count(), 20);
            QCOMPARE(form.rows().newWordsBox(1)->text(), u"新词"_s);
            QVERIFY(form.sheet().isModified());
            return;
        }
        const int rows = sameFile ? 20 : 5;
        QCOMPARE(form.Label3()->text(), QString::number(rows));
        QCOMPARE(form.sheet().count(), rows);
        QVERIFY(!form.sheet().isModified());
        for (int k = 1; k <= rows; ++k) {
            const QString words = sameFile ? wordsOf(k) : u"再来%1"_s.arg(k);
            const QString problem = rowProblem(form, k, labelOf(k), words);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QVERIFY(!form.rows().originalBox(rows));
        QCOMPARE(form.VScroll1()->value(), 400 * rows - 5655);
        QCOMPARE(syj::twipsTop(form.Picture2()), 5655 - 400 * rows);
    }

    // No lyric file, or an empty one, after a good load: the rows go.
    void nothingToLoadAfterGoodLoad_data()
    {
        QTest::addColumn<bool>("missing"); // no file at all (else an empty file)
        QTest::newRow("no lyric file") << true;
        QTest::newRow("empty lyric file") << false;
    }

    void nothingToLoadAfterGoodLoad()
    {
        QFETCH(bool, missing);
        const QString tag = tagName();
        ScriptedPlatform p;
        Form1 form(p);
        openOriginal(form, p, lyrics(u"good-"_s + tag, generatedFile(6)));
        QCOMPARE(form.Label3()->text(), u"6"_s);

        QString chosen = file(u"nothing-"_s + tag + u".mp3"_s);
        if (!missing)
            chosen = lyrics(u"nothing-"_s + tag, QByteArray());
        p.box().shown.clear();
        openOriginal(form, p, chosen);

        QCOMPARE(form.sheet().count(), 0);
        QCOMPARE(form.Label3()->text(), u"0"_s);
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        for (int k = 1; k <= 6; ++k)
            QVERIFY(!form.rows().originalBox(k - 1) && !form.rows().timeLabel(k - 1) &&
                    !form.rows().recordingButton(k - 1));
        if (missing) {
            QCOMPARE(p.box().shown.size(), 1);
            const QString looked = QDir::toNativeSeparators(file(u"nothing-"_s + tag + u".lrc"_s));
            QVERIFY2(p.box().shown[0].text.contains(looked), qPrintable(p.box().shown[0].text));
        }
    }

    // A lyric file that is there but is no lyric file changes nothing.
    void notALyricFile_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<qint64>("size");    // > 0: a sparse file of this size instead
        QTest::addColumn<bool>("viaLoader"); // the loader itself, not 打开原唱歌词

        const QByteArray nulInText =
            QByteArray("[00:01.00]a\r\n[00:02.00]b") + QByteArray("\0", 1) + QByteArray("\r\n");
        const qint64 mib = 1024 * 1024;
        QTest::newRow("NUL in the text") << nulInText << qint64(0) << false;
        QTest::newRow("a single NUL") << QByteArray("\0", 1) << qint64(0) << false;
        QTest::newRow("16 MiB of zeros") << QByteArray() << 16 * mib << false;
        QTest::newRow("16 MiB + 1") << QByteArray() << 16 * mib + 1 << false;
        QTest::newRow("1 GiB") << QByteArray() << 1024 * mib << false;
        QTest::newRow("NUL in the text, loader") << nulInText << qint64(0) << true;
        QTest::newRow("16 MiB + 1, loader") << QByteArray() << 16 * mib + 1 << true;
    }

    void notALyricFile()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(qint64, size);
        QFETCH(bool, viaLoader);

        const QString tag = tagName();
        ScriptedPlatform p;
        Form1 form(p);
        openOriginal(form, p, lyrics(u"good-"_s + tag, generatedFile(16)));
        QCOMPARE(form.Label3()->text(), u"16"_s);
        typeText(form.rows().newWordsBox(2), u"写好的"_s);
        QVERIFY(form.sheet().isModified());
        form.VScroll1()->setValue(100);
        const int height = syj::twipsHeight(form.Picture2());
        const int scrollMax = form.VScroll1()->max();

        const QString bad = file(u"bad-"_s + tag + u".lrc"_s);
        if (size > 0) {
            QFile f(bad);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            QVERIFY(f.resize(size));
        } else {
            QVERIFY(syj::test::writeFile(bad, bytes));
        }
        p.box().shown.clear();
        if (viaLoader)
            form.commands().loadOriginalLyrics(file(u"bad-"_s + tag + u".mp3"_s));
        else
            openOriginal(form, p, file(u"bad-"_s + tag + u".mp3"_s));
        QFile::remove(bad);

        QCOMPARE(p.box().shown.size(), 1);
        QVERIFY2(p.box().shown[0].buttons == MsgButtons::Ok, "no question before the check");
        QVERIFY2(p.box().shown[0].text.contains(QDir::toNativeSeparators(bad)),
                 qPrintable(p.box().shown[0].text));
        QCOMPARE(form.Label3()->text(), u"16"_s);
        QCOMPARE(form.sheet().count(), 16);
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        QCOMPARE(form.rows().originalBox(0)->text(), wordsOf(1));
        QCOMPARE(form.rows().originalBox(15)->text(), wordsOf(16));
        QCOMPARE(form.rows().newWordsBox(2)->text(), u"写好的"_s);
        QVERIFY(form.sheet().isModified());
        QCOMPARE(syj::twipsHeight(form.Picture2()), height);
        QCOMPARE(form.VScroll1()->max(), scrollMax);
        QCOMPARE(form.VScroll1()->value(), 100);
        QCOMPARE(syj::twipsTop(form.Picture2()), -100);
    }

    // The sheet holds up to 32767 rows; the rest of a longer file is reported.
    void tooManyLines_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("rows");
        QTest::newRow("32770 lines") << 32770 << 32767;
    }

    void tooManyLines()
    {
        QFETCH(int, lines);
        QFETCH(int, rows);

        ScriptedPlatform p;
        Form1 form(p);
        const QString chosen = lyrics(u"many%1"_s.arg(lines), generatedFile(lines));
        QElapsedTimer clock;
        clock.start();
        openOriginal(form, p, chosen);
        qInfo("loading %d lines took %lld ms", lines, clock.elapsed());

        QCOMPARE(form.sheet().count(), rows);
        QCOMPARE(form.Label3()->text(), QString::number(rows));
        QCOMPARE(p.box().shown.size(), 1);
        const QString text = p.box().shown[0].text;
        QVERIFY2(text.contains(QString::number(lines)) &&
                     text.contains(QString::number(lines - rows)),
                 qPrintable(text));
        QVERIFY2(text.contains(QDir::toNativeSeparators(chosen.chopped(4) + u".lrc"_s)),
                 qPrintable(text));
        for (int k : {1, 2, rows - 1, rows}) {
            const QString problem = rowProblem(form, k, labelOf(k), wordsOf(k));
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(syj::twipsHeight(form.Picture2()), 2040 + 400 * rows);
        QCOMPARE(form.VScroll1()->value(), 400 * rows - 5655);
        QCOMPARE(syj::twipsTop(form.Picture2()), 5655 - 400 * rows);
        // Even the 32767th row scrolls into view.
        const QPoint lastAt = form.rows().originalBox(rows - 1)->mapTo(&form, QPoint(0, 0));
        QVERIFY2(lastAt.y() >= 0 && lastAt.y() + form.rows().originalBox(rows - 1)->height() <=
                                        form.VScroll1()->height(),
                 qPrintable(u"last row at pixel %1"_s.arg(lastAt.y())));
    }

    // While the load pumps events the lyric-file commands are refused.
    void commandsRefusedDuringLoad_data()
    {
        QTest::addColumn<int>("command"); // 3, 6 or 8: dcButton3, dcButton6, dcButton8
        QTest::newRow("打开原唱歌词") << 3;
        QTest::newRow("打开新歌词") << 6;
        QTest::newRow("保存新歌词") << 8;
    }

    void commandsRefusedDuringLoad()
    {
        QFETCH(int, command);
        ScriptedPlatform p;
        Form1 form(p);
        const QString chosen = lyrics(u"busy%1"_s.arg(command), generatedFile(40));
        const QString other = lyrics(u"other%1"_s.arg(command), generatedFile(2));

        bool loading = false;
        bool buttonsEnabled = true;
        qsizetype dialogsBefore = 0;
        qsizetype dialogsAfter = 0;
        qsizetype boxesAfter = 0;
        QSignalSpy loadingSpy(&form.sheet(), &syj::LyricSheetModel::loadingChanged);
        DuringLoad during(form, 5, [&] {
            loading = form.sheet().isLoading();
            buttonsEnabled = form.dcButton3()->isEnabled() || form.dcButton6()->isEnabled() ||
                             form.dcButton8()->isEnabled();
            dialogsBefore = p.dialog().shown.size();
            p.choose(other); // would be taken if the command went on
            switch (command) {
            case 3:
                form.dcButton3_Click();
                break;
            case 6:
                form.dcButton6_Click();
                break;
            case 8:
                form.dcButton8_Click();
                break;
            }
            dialogsAfter = p.dialog().shown.size();
            boxesAfter = p.box().shown.size();
        });
        openOriginal(form, p, chosen);
        QVERIFY(during.fired());

        QVERIFY(loading);
        QVERIFY(!buttonsEnabled);
        QCOMPARE(dialogsAfter, dialogsBefore);
        QCOMPARE(boxesAfter, 1);
        QCOMPARE(p.box().shown[0].buttons, MsgButtons::Ok);
        QCOMPARE(p.box().shown.size(), 1);

        // The load went on to the end, untouched.
        QVERIFY(!form.sheet().isLoading());
        QCOMPARE(form.Label3()->text(), u"40"_s);
        QCOMPARE(form.sheet().count(), 40);
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        QCOMPARE(form.rows().originalBox(39)->text(), wordsOf(40));
        QVERIFY(form.dcButton3()->isEnabled() && form.dcButton6()->isEnabled() &&
                form.dcButton8()->isEnabled());
        QCOMPARE(loadingSpy.size(), 2);
        QCOMPARE(loadingSpy[0][0].toBool(), true);
        QCOMPARE(loadingSpy[1][0].toBool(), false);
        // Nothing was opened into the new words nor saved under the name offered.
        for (int k = 1; k <= 40; ++k)
            QVERIFY(form.rows().newWordsBox(k - 1)->text().isEmpty());
        QVERIFY(!QFile::exists(other));
    }

    // Closing the main window during a load: with nothing unsaved the load ends
    // and the window closes. Unsaved words are asked about at once, while the
    // load waits: 取消 keeps the window and lets the load go on to its end; 不保存
    // ends the load and closes; 保存 lets the load finish, so that the save
    // writes every line, then saves and closes.
    void closeDuringLoad_data()
    {
        QTest::addColumn<bool>("typed");      // new words typed during the load
        QTest::addColumn<int>("answer");      // to the question about them
        QTest::addColumn<bool>("saveChosen"); // the save dialog picks a file
        QTest::addColumn<bool>("wholeSheet"); // every line loaded in the end
        QTest::addColumn<bool>("closes");

        QTest::newRow("nothing typed") << false << int(MsgResult::Ok) << false << false << true;
        QTest::newRow("typed, discard")
            << true << int(MsgResult::Discard) << false << false << true;
        QTest::newRow("typed, cancel") << true << int(MsgResult::Cancel) << false << true << false;
        QTest::newRow("typed, save") << true << int(MsgResult::Save) << true << true << true;
        QTest::newRow("typed, save, dialog cancelled")
            << true << int(MsgResult::Save) << false << true << false;
    }

    void closeDuringLoad()
    {
        QFETCH(bool, typed);
        QFETCH(int, answer);
        QFETCH(bool, saveChosen);
        QFETCH(bool, wholeSheet);
        QFETCH(bool, closes);

        ScriptedPlatform p;
        Form1 form(p);
        form.show();
        QVERIFY(QTest::qWaitForWindowExposed(&form));
        const int lines = 60;
        const QString chosen = lyrics(u"close-"_s + tagName(), generatedFile(lines));
        const QString saved = m_dir.filePath(u"saved-"_s + tagName() + u".lrc"_s);
        if (typed)
            p.answer(MsgResult(answer));

        bool closeAccepted = true;
        DuringLoad during(form, 5, [&] {
            if (typed)
                typeText(form.rows().newWordsBox(1), u"半句"_s);
            // The save dialog comes after the load; it is the second dialog.
            if (saveChosen)
                p.choose(saved);
            closeAccepted = form.close();
        });
        openOriginal(form, p, chosen);
        QVERIFY(during.fired());
        QVERIFY2(!closeAccepted, "the window closed in the middle of the load");
        QVERIFY(!form.sheet().isLoading());

        // Whole rows only, and all of them where the load went on.
        const int rows = form.sheet().count();
        if (wholeSheet)
            QCOMPARE(rows, lines);
        else
            QVERIFY2(
                rows + 1 >= during.firedAt() && rows < lines,
                qPrintable(u"%1 rows after closing at row %2"_s.arg(rows).arg(during.firedAt())));
        QVERIFY2(sheetProblem(form).isEmpty(), qPrintable(sheetProblem(form)));
        for (int k = 1; k <= rows; ++k) {
            const QString problem = rowProblem(form, k, labelOf(k), wordsOf(k));
            if (typed && k == 2)
                continue;
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
        }
        QCOMPARE(form.Label3()->text(), QString::number(rows));

        if (closes) {
            QTRY_VERIFY_WITH_TIMEOUT(!form.isVisible(), 2000);
        } else {
            QTest::qWait(100);
            QVERIFY(form.isVisible());
            QCOMPARE(form.rows().newWordsBox(1)->text(), u"半句"_s);
            QVERIFY(form.sheet().isModified());
        }
        // Asked once, and only about the words; a saved file holds every line.
        QCOMPARE(boxesWith(p, MsgButtons::SaveDiscardCancel), typed ? 1 : 0);
        QCOMPARE(p.box().shown.size(), typed ? 1 : 0);
        QCOMPARE(QFileInfo::exists(saved), saveChosen);
        if (saveChosen) {
            const QByteArray bytes = syj::test::readFile(saved);
            QCOMPARE(bytes.count("\r\n"), lines);
            QVERIFY(bytes.contains(syj::test::gbk(tagOf(2) + u"半句"_s)));
        }
    }

    // The window says, without a box, which encoding a lyric file was read in
    // when it was not GBK/GB18030 or UTF-8; reading a usual one clears it.
    void encodingShownInTheWindow()
    {
        ScriptedPlatform p;
        Form1 form(p);
        form.show();
        // Lyric lines written for this test, in traditional characters.
        const QString text = u"[00:10.00]風吹過城市的街頭\r\n[00:14.50]我們在雨中慢慢走\r\n"
                             "[00:19.20]燈火照亮你的臉\r\n[00:23.80]這一刻不想說再見\r\n"_s;
        const auto encoded = [&text](const char *encoding) {
            return QByteArray(QStringEncoder(encoding).encode(text));
        };
        const struct {
            QByteArray bytes;
            QString shown; // empty: the note is hidden
        } steps[] = {
            {encoded("Big5"), u"歌词编码：Big5（繁体中文）"_s},
            {encoded("GB18030"), QString()},
            {QByteArray("\xFF\xFE") + encoded("UTF-16LE"), u"歌词编码：UTF-16 LE"_s},
            {encoded("UTF-8"), QString()},
        };
        int n = 0;
        for (const auto &step : steps) {
            openOriginal(form, p, lyrics(u"encoded%1"_s.arg(++n), step.bytes));
            QCOMPARE(form.sheet().count(), 4);
            QCOMPARE(form.rows().originalBox(0)->text(), u"風吹過城市的街頭"_s);
            QCOMPARE(form.encodingNote()->isVisible(), !step.shown.isEmpty());
            if (!step.shown.isEmpty())
                QCOMPARE(form.encodingNote()->text(), step.shown);
        }
        QVERIFY(p.box().shown.isEmpty());
    }
};

QTEST_MAIN(TestLoader)
#include "tst_loader.moc"
