// Scrolling the lyric panel with the scroll bar, and tracking the row that has
// the focus: the character count of its original words and the grey highlight
// behind it. Rows come from real lyric files loaded through 打开原唱歌词.
//
// After a load the bar's value is its maximum, the panel's height less the
// 7695 twips of the lyric area; with fewer than 15 rows that maximum is below
// the minimum 0 and the bar runs backwards. The panel's Top is always minus the
// value. The highlight stands 120 twips above the focused row's Top
// (840 + 400 k), whatever the panel's scroll position.

#include "app/form1.h"
#include "app/rowpanel.h"
#include "platform/classicscrollbar.h"
#include "platform/mediaplayer.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetcommands.h"
#include "support/scripted.h"
#include "support/widgets.h"
#include "support/window.h"

#include <QAccessible>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <functional>

using namespace Qt::StringLiterals;
using syj::Form1;
using syj::test::ScriptedPlatform;
using syj::test::typeText;

namespace {

// A lyric file of n timed lines "[mm:ss.xx]第k句", CR LF after each, in GBK.
QByteArray generatedFile(int n)
{
    QString text;
    for (int k = 1; k <= n; ++k) {
        text += u"[%1:%2.00]第%3句\r\n"_s.arg(k / 60 % 100, 2, 10, QChar(u'0'))
                    .arg(k % 60, 2, 10, QChar(u'0'))
                    .arg(k);
    }
    return syj::test::gbk(text);
}

// Twenty lines whose words have telling character counts, in UTF-8.
const QStringList &countedLines()
{
    static const QStringList lines = [] {
        QStringList l = {
            u"[00:01.00]你好 world"_s,                               // 8
            u"[00:02.00]"_s,                                         // 0
            u"[ti:你好]"_s,                                          // 7, an info line
            u"[00:04.00]😀"_s,                                        // 1, outside the BMP
            u"[00:05.00]😀😀 x"_s,                                     // 4
            QString(),                                               // 0, an empty info line
            u"[00:07.00]一二三四五六七八九十一二三四五六七八九十"_s, // 20
        };
        for (int k = 8; k < 20; ++k)
            l << u"[00:%1.00]第%1句"_s.arg(k, 2, 10, QChar(u'0'));
        l << u"[00:20.00]最后 一句！"_s; // 6
        return l;
    }();
    return lines;
}

QByteArray countedFile()
{
    return countedLines().join(u"\r\n"_s).toUtf8() + "\r\n";
}

// Where a widget of the lyric panel shows inside the main window, in pixels.
int shownAt(const Form1 &form, const QWidget *w)
{
    return w->mapTo(&form, QPoint(0, 0)).y();
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
            m_act();
        });
        m_timer.start();
    }
    bool fired() const { return m_fired; }

private:
    QTimer m_timer;
    std::function<void()> m_act;
    bool m_fired = false;
};

enum class Via { Text1Focus, Text2Focus, Text1Handler, Text2Handler };

} // namespace

Q_DECLARE_METATYPE(Via)

class TestTracking : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // Writes a lyric file and loads it through 打开原唱歌词.
    void load(Form1 &form, ScriptedPlatform &p, const QByteArray &bytes)
    {
        QVERIFY(syj::test::loadIntoWindow(form, p, m_dir.path(), bytes));
    }

    // Shows the window and waits until it is the active one, so that widgets
    // really take the focus.
    static bool activate(Form1 &form)
    {
        form.show();
        QApplication::setActiveWindow(&form);
        return QTest::qWaitForWindowActive(&form);
    }

    // Gives row i's original (Text1) or new words (Text2) the focus, for real or
    // by calling the handler.
    static bool focusRow(Form1 &form, int i, Via via)
    {
        switch (via) {
        case Via::Text1Focus:
            form.rows().originalBox(i - 1)->setFocus(Qt::MouseFocusReason);
            return QApplication::focusWidget() == form.rows().originalBox(i - 1);
        case Via::Text2Focus:
            form.rows().newWordsBox(i - 1)->setFocus(Qt::MouseFocusReason);
            return QApplication::focusWidget() == form.rows().newWordsBox(i - 1);
        case Via::Text1Handler:
            form.Text1_GotFocus(i);
            return true;
        case Via::Text2Handler:
            form.Text2_GotFocus(i);
            return true;
        }
        return false;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
        QApplication::setQuitOnLastWindowClosed(false);
    }

    // The scroll bar's value puts the panel's Top at minus the value.
    void scrollingMovesPanel_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("action"); // 0: set the value; 1: bar's top end; 2: bottom end
        QTest::addColumn<int>("value");  // to set (action 0)
        QTest::addColumn<int>("expectedValue");
        QTest::addColumn<int>("panelTop");

        QTest::newRow("15 rows, value 0") << 15 << 0 << 0 << 0 << 0;
        QTest::newRow("15 rows, value 345") << 15 << 0 << 345 << 345 << -345;
        QTest::newRow("15 rows, value 200") << 15 << 0 << 200 << 200 << -200;
        QTest::newRow("14 rows, value -55") << 14 << 0 << -55 << -55 << 55;
        QTest::newRow("14 rows, value 0") << 14 << 0 << 0 << 0 << 0;
        QTest::newRow("1 row, value -5255") << 1 << 0 << -5255 << -5255 << 5255;
        QTest::newRow("1 row, value -1000") << 1 << 0 << -1000 << -1000 << 1000;
        QTest::newRow("96 rows, value 32745") << 96 << 0 << 32745 << 32745 << -32745;
        QTest::newRow("97 rows, value 33145") << 97 << 0 << 33145 << 33145 << -33145;
        QTest::newRow("97 rows, value 32768") << 97 << 0 << 32768 << 32768 << -32768;
        QTest::newRow("1000 rows, value 394345") << 1000 << 0 << 394345 << 394345 << -394345;
        QTest::newRow("1000 rows, value 200000") << 1000 << 0 << 200000 << 200000 << -200000;
        QTest::newRow("15 rows, top end") << 15 << 1 << 0 << 0 << 0;
        QTest::newRow("15 rows, bottom end") << 15 << 2 << 0 << 345 << -345;
        QTest::newRow("14 rows, top end") << 14 << 1 << 0 << 0 << 0;
        QTest::newRow("14 rows, bottom end") << 14 << 2 << 0 << -55 << 55;
        QTest::newRow("1 row, top end") << 1 << 1 << 0 << 0 << 0;
        QTest::newRow("1 row, bottom end") << 1 << 2 << 0 << -5255 << 5255;
        QTest::newRow("1000 rows, top end") << 1000 << 1 << 0 << 0 << 0;
        QTest::newRow("1000 rows, bottom end") << 1000 << 2 << 0 << 394345 << -394345;
    }

    void scrollingMovesPanel()
    {
        QFETCH(int, lines);
        QFETCH(int, action);
        QFETCH(int, value);
        QFETCH(int, expectedValue);
        QFETCH(int, panelTop);

        ScriptedPlatform p;
        Form1 form(p);
        load(form, p, generatedFile(lines));
        QCOMPARE(form.sheet().count(), lines);
        const int height = syj::twipsHeight(form.Picture2());

        // Start from the other end, so that the step below is a change.
        const int start = expectedValue == 0 ? form.VScroll1()->max() : 0;
        form.VScroll1()->setValue(start);
        QCOMPARE(form.VScroll1()->value(), start);
        QCOMPARE(syj::twipsTop(form.Picture2()), -start);

        switch (action) {
        case 0:
            form.VScroll1()->setValue(value);
            break;
        case 1:
            form.VScroll1()->bar()->triggerAction(QAbstractSlider::SliderToMinimum);
            break;
        case 2:
            form.VScroll1()->bar()->triggerAction(QAbstractSlider::SliderToMaximum);
            break;
        }
        QCOMPARE(form.VScroll1()->value(), expectedValue);
        QCOMPARE(syj::twipsTop(form.Picture2()), panelTop);
        QCOMPARE(form.Picture2()->y(), syj::twipsToPixels(panelTop));
        QCOMPARE(syj::twipsHeight(form.Picture2()), height);
        // The rows move with the panel.
        QCOMPARE(shownAt(form, form.rows().originalBox(lines - 1)),
                 syj::twipsToPixels(panelTop) +
                     syj::twipsToPixels(syj::kRowTemplateTop + syj::kRowPitch * lines));
    }

    // A sheet shorter than the lyric area: its bar runs backwards, and its top
    // end shows the panel from the top.
    void shortSheetTopEnd_data()
    {
        QTest::addColumn<int>("lines");
        QTest::addColumn<int>("bottomEdge"); // the panel's, in twips, at the top end
        QTest::newRow("1 row") << 1 << 2440;
        QTest::newRow("3 rows") << 3 << 3240;
        QTest::newRow("14 rows") << 14 << 7640;
    }

    void shortSheetTopEnd()
    {
        QFETCH(int, lines);
        QFETCH(int, bottomEdge);

        ScriptedPlatform p;
        Form1 form(p);
        load(form, p, generatedFile(lines));
        // Loaded: the bar's bottom end, below the minimum.
        QVERIFY(form.VScroll1()->max() < form.VScroll1()->min());
        QCOMPARE(form.VScroll1()->bar()->value(), form.VScroll1()->bar()->maximum());

        form.VScroll1()->bar()->triggerAction(QAbstractSlider::SliderToMinimum);
        QCOMPARE(form.VScroll1()->value(), 0);
        QCOMPARE(form.VScroll1()->value(), form.VScroll1()->min());
        QCOMPARE(syj::twipsTop(form.Picture2()), 0);
        QCOMPARE(syj::twipsTop(form.Picture2()) + syj::twipsHeight(form.Picture2()), bottomEdge);
        QCOMPARE(form.Picture2()->geometry().bottom() + 1, syj::twipsToPixels(bottomEdge));
        QVERIFY(bottomEdge <= syj::kLyricAreaHeight);

        // One step down the bar moves towards the maximum, below 0.
        form.VScroll1()->bar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
        QVERIFY2(form.VScroll1()->value() < 0,
                 qPrintable(QString::number(form.VScroll1()->value())));
        QCOMPARE(syj::twipsTop(form.Picture2()), -form.VScroll1()->value());
    }

    // Focusing a row shows the character count of its original words and puts
    // the highlight behind it; the panel stays where it is.
    void focusShowsCountAndHighlight_data()
    {
        QTest::addColumn<int>("lines"); // 0: the twenty counted lines; else a generated file
        QTest::addColumn<int>("row");
        QTest::addColumn<Via>("via");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("highlightTop");

        struct Case {
            int row;
            int count;
            int top;
            const char *what;
        };
        const Case cases[] = {
            {1, 8, 1120, "你好 world"}, {2, 0, 1520, "no words"},  {3, 7, 1920, "[ti:你好]"},
            {4, 1, 2320, "one emoji"},  {5, 4, 2720, "two emoji"}, {6, 0, 3120, "empty line"},
            {7, 20, 3520, "20 hanzi"},  {20, 6, 8720, "last row"},
        };
        const std::pair<Via, const char *> vias[] = {
            {Via::Text1Focus, "Text1 focused"},
            {Via::Text2Focus, "Text2 focused"},
            {Via::Text1Handler, "Text1_GotFocus"},
            {Via::Text2Handler, "Text2_GotFocus"},
        };
        for (const auto &[via, viaName] : vias) {
            for (const Case &c : cases) {
                QTest::addRow("row %d (%s), %s", c.row, c.what, viaName)
                    << 0 << c.row << via << c.count << c.top;
            }
        }
        // A long sheet scrolled to its end: rows far above the lyric area.
        QTest::newRow("1000 rows, row 1, Text2 focused")
            << 1000 << 1 << Via::Text2Focus << 3 << 1120;
        QTest::newRow("1000 rows, row 500, Text1 focused")
            << 1000 << 500 << Via::Text1Focus << 5 << 200720;
        QTest::newRow("1000 rows, row 1000, Text2 focused")
            << 1000 << 1000 << Via::Text2Focus << 6 << 400720;
        QTest::newRow("1000 rows, row 97, Text2_GotFocus")
            << 1000 << 97 << Via::Text2Handler << 4 << 39520;
    }

    void focusShowsCountAndHighlight()
    {
        QFETCH(int, lines);
        QFETCH(int, row);
        QFETCH(Via, via);
        QFETCH(int, count);
        QFETCH(int, highlightTop);

        ScriptedPlatform p;
        Form1 form(p);
        load(form, p, lines == 0 ? countedFile() : generatedFile(lines));
        QCOMPARE(form.sheet().count(), (lines == 0 ? 20 : lines));
        QVERIFY(activate(form));

        const int panelTop = syj::twipsTop(form.Picture2());
        const int value = form.VScroll1()->value();
        const int panelY = form.Picture2()->y();
        form.Label4()->setText(u"?"_s);

        QVERIFY(focusRow(form, row, via));
        QCOMPARE(form.Label4()->text(), QString::number(count));
        QCOMPARE(syj::twipsTop(form.Shape1()), highlightTop);
        QCOMPARE(form.Shape1()->y(), syj::twipsToPixels(highlightTop));
        // The highlight stands behind the row: 8 pixels above it.
        QCOMPARE(form.rows().originalBox(row - 1)->y() - form.Shape1()->y(), 8);

        // Focus never scrolls.
        QCOMPARE(syj::twipsTop(form.Picture2()), panelTop);
        QCOMPARE(form.Picture2()->y(), panelY);
        QCOMPARE(form.VScroll1()->value(), value);
    }

    // The count and the highlight stay as they are until the next focus.
    void trackingKeptUntilNextFocus_data()
    {
        QTest::addColumn<int>("change");
        QTest::addColumn<Via>("via");     // how row 3 got the focus
        QTest::addColumn<int>("refocus"); // count after focusing row 3 again; -1: not checked

        // change: 0 type into Text2, 1 type into Text1, 2 program sets Text1,
        // 3 scroll by value, 4 scroll by the bar, 5 load another file,
        // 6 a failed load (no lyric file), 7 a refused load (not text)
        QTest::newRow("typing new words") << 0 << Via::Text2Focus << 7;
        QTest::newRow("typing into the original") << 1 << Via::Text1Focus << 12;
        QTest::newRow("original words replaced") << 2 << Via::Text2Focus << 2;
        QTest::newRow("original words replaced, handler") << 2 << Via::Text2Handler << 2;
        QTest::newRow("scrolling by value") << 3 << Via::Text2Focus << 7;
        QTest::newRow("scrolling by the bar") << 4 << Via::Text1Focus << 7;
        QTest::newRow("a new load") << 5 << Via::Text2Focus << 3;
        QTest::newRow("a new load, handler") << 5 << Via::Text1Handler << 3;
        QTest::newRow("no lyric file") << 6 << Via::Text2Focus << -1;
        QTest::newRow("not a text file") << 7 << Via::Text2Focus << 7;
    }

    void trackingKeptUntilNextFocus()
    {
        QFETCH(int, change);
        QFETCH(Via, via);
        QFETCH(int, refocus);

        ScriptedPlatform p;
        Form1 form(p);
        load(form, p, countedFile());
        QVERIFY(activate(form));
        QVERIFY(focusRow(form, 3, via));
        QCOMPARE(form.Label4()->text(), u"7"_s);
        QCOMPARE(syj::twipsTop(form.Shape1()), 1920);

        switch (change) {
        case 0:
            typeText(form.rows().newWordsBox(2), u"新的歌词"_s);
            QCOMPARE(form.rows().newWordsBox(2)->text(), u"新的歌词"_s);
            break;
        case 1:
            // A filled box starts with its cursor before the first character.
            typeText(form.rows().originalBox(2), u"多五个字啊"_s);
            QCOMPARE(form.rows().originalBox(2)->text(), u"多五个字啊[ti:你好]"_s);
            break;
        case 2:
            form.rows().originalBox(2)->setText(u"两字"_s);
            break;
        case 3:
            form.VScroll1()->setValue(0);
            QCOMPARE(syj::twipsTop(form.Picture2()), 0);
            break;
        case 4:
            form.VScroll1()->bar()->triggerAction(QAbstractSlider::SliderPageStepSub);
            QCOMPARE(syj::twipsTop(form.Picture2()), -form.VScroll1()->value());
            break;
        case 5:
            load(form, p, generatedFile(30));
            QCOMPARE(form.sheet().count(), 30);
            break;
        case 6: {
            p.choose(m_dir.filePath(u"no-such-song.mp3"_s));
            form.dcButton3_Click();
            QCOMPARE(form.sheet().count(), 0);
            break;
        }
        case 7:
            load(form, p, QByteArray("[00:01.00]a\0b\r\n", 15));
            QCOMPARE(form.sheet().count(), 20);
            break;
        }
        QCOMPARE(form.Label4()->text(), u"7"_s);
        QCOMPARE(syj::twipsTop(form.Shape1()), 1920);
        if (change == 3 || change == 4) {
            // The highlight moves with the panel and stays behind its row.
            QCOMPARE(shownAt(form, form.rows().originalBox(2)) - shownAt(form, form.Shape1()), 8);
        }
        if (refocus < 0)
            return;

        // Focus row 3 afresh: away first, so a real focus change happens.
        const Via other = via == Via::Text1Focus   ? Via::Text2Focus
                          : via == Via::Text2Focus ? Via::Text1Focus
                                                   : via;
        form.dcButton7()->setFocus();
        QVERIFY(focusRow(form, 3, other));
        QCOMPARE(form.Label4()->text(), QString::number(refocus));
        QCOMPARE(syj::twipsTop(form.Shape1()), 1920);
    }

    // During a load the rows already there work: the bar scrolls the panel and
    // a focused row is tracked.
    void rowsWorkDuringLoad_data()
    {
        QTest::addColumn<int>("action"); // 0: scroll to 0, 1: focus Text2(3), 2: Text1_GotFocus(2)
        QTest::addColumn<int>("count");  // Label4 afterwards; -1: unchanged
        QTest::addColumn<int>("highlightTop");

        QTest::newRow("scrolling") << 0 << -1 << 1080;
        QTest::newRow("Text2 focused") << 1 << 3 << 1920;
        QTest::newRow("Text1_GotFocus") << 2 << 3 << 1520;
    }

    void rowsWorkDuringLoad()
    {
        QFETCH(int, action);
        QFETCH(int, count);
        QFETCH(int, highlightTop);

        ScriptedPlatform p;
        Form1 form(p);
        QVERIFY(activate(form));
        const QString label4 = form.Label4()->text();
        int panelTopThen = 1;
        QString label4Then;
        int highlightThen = 0;
        bool focusedThen = false;
        DuringLoad during(form, 8, [&] {
            switch (action) {
            case 0:
                form.VScroll1()->setValue(0);
                break;
            case 1:
                form.rows().newWordsBox(2)->setFocus(Qt::MouseFocusReason);
                focusedThen = QApplication::focusWidget() == form.rows().newWordsBox(2);
                break;
            case 2:
                form.Text1_GotFocus(2);
                break;
            }
            panelTopThen = syj::twipsTop(form.Picture2());
            label4Then = form.Label4()->text();
            highlightThen = syj::twipsTop(form.Shape1());
        });
        load(form, p, generatedFile(40));
        QVERIFY(during.fired());
        QCOMPARE(form.sheet().count(), 40);

        if (action == 0)
            QCOMPARE(panelTopThen, 0);
        if (action == 1)
            QVERIFY(focusedThen);
        QCOMPARE(label4Then, count < 0 ? label4 : QString::number(count));
        QCOMPARE(highlightThen, highlightTop);
        // The load went on to the end and kept what the row's focus showed.
        QCOMPARE(form.Label4()->text(), label4Then);
        QCOMPARE(syj::twipsTop(form.Shape1()), highlightTop);
        QCOMPARE(form.VScroll1()->value(), 400 * 40 - 5655);
        QCOMPARE(syj::twipsTop(form.Picture2()), 5655 - 400 * 40);
        if (action == 1)
            QCOMPARE(QApplication::focusWidget(), form.rows().newWordsBox(2));
    }

    // What a screen reader hears: every control says which row or player it
    // belongs to, and each count comes with its caption. The names follow the
    // rows as they are made again, and the players' states.
    void screenReaderNames_data()
    {
        QTest::addColumn<bool>("activeFirst"); // the screen reader was on before the load
        QTest::newRow("screen reader on, then rows loaded") << true;
        QTest::newRow("rows loaded, then screen reader on") << false;
    }

    void screenReaderNames()
    {
        QFETCH(bool, activeFirst);
        ScriptedPlatform p;
        Form1 form(p);
        const auto guard = qScopeGuard([] { QAccessible::setActive(false); });
        if (activeFirst)
            QAccessible::setActive(true);
        load(form, p, generatedFile(30));
        load(form, p, generatedFile(12)); // the rows are made anew
        if (!activeFirst)
            QAccessible::setActive(true);
        QVERIFY(activate(form));
        QVERIFY(focusRow(form, 3, Via::Text2Focus));

        const auto name = [](QObject *o) {
            QAccessibleInterface *a = QAccessible::queryAccessibleInterface(o);
            return a ? a->text(QAccessible::Name) : u"(none)"_s;
        };
        const auto controls = [](syj::MediaPlayer *player, const char *objectName) {
            return player->findChild<QWidget *>(QLatin1StringView(objectName));
        };
        const QList<std::pair<QObject *, QString>> expected = {
            {form.rows().originalBox(2), u"第 3 句 原歌词"_s},
            {form.rows().newWordsBox(11), u"第 12 句 新歌词"_s},
            {form.rows().accompanimentButton(0), u"第 1 句：从本句播放伴奏"_s},
            {form.rows().recordingButton(11), u"第 12 句：从本句播放原唱"_s},
            {form.VScroll1()->bar(), u"歌词滚动条"_s},
            {form.Label3(), u"句数：12"_s},
            {form.Label4(), u"本句字数：%1"_s.arg(form.rows().originalBox(2)->text().size())},
            {controls(form.WindowsMediaPlayer1(), "playButton"), u"伴奏播放器：播放"_s},
            {controls(form.WindowsMediaPlayer2(), "stopButton"), u"原唱播放器：停止"_s},
            {controls(form.WindowsMediaPlayer1(), "seekSlider"), u"伴奏播放器：播放位置"_s},
            {controls(form.WindowsMediaPlayer2(), "volumeSlider"), u"原唱播放器：音量"_s},
            {controls(form.WindowsMediaPlayer1(), "muteButton"), u"伴奏播放器：静音"_s},
        };
        for (const auto &[object, text] : expected)
            QCOMPARE(name(object), text);
        // The aids' mark on a new-words box is read out as the eye sees it.
        QAccessibleInterface *box =
            QAccessible::queryAccessibleInterface(form.rows().newWordsBox(11));
        QVERIFY(box);
        QCOMPARE(
            box->text(QAccessible::Description),
            u"字数 0/4，本组的韵 十二齐；原词句尾 句 jù/gōu〔十二齐/七尤〕，新词句尾 （无）"_s);

        // The play button says what it does now.
        form.WindowsMediaPlayer2()->controls()->setPlaybackState(syj::PlaybackState::Playing);
        QCOMPARE(name(controls(form.WindowsMediaPlayer2(), "playButton")), u"原唱播放器：暂停"_s);
    }
};

QTEST_MAIN(TestTracking)
#include "tst_tracking.moc"
