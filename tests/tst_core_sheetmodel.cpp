// The lyric-sheet model on its own, with no window: loading the original
// lines, putting new lyrics into the rows, the lines a save writes, and the
// unsaved flag. Qt's model tester watches every change for broken signals.

#include "sheet/lyricsheetmodel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QTest>
#include <cmath>

using namespace Qt::StringLiterals;
using syj::LyricRow;
using syj::LyricSheetModel;

namespace {

// One row as a line of text, for comparing a whole sheet in one QCOMPARE:
// "T|tag|seconds|original|new" for a timed row (seconds "-" when none),
// "I|original|new" for an info row.
QString describe(const LyricRow &row)
{
    if (!row.isTimed())
        return u"I|%1|%2"_s.arg(row.originalWords, row.newWords);
    const QString seconds = row.seconds ? QString::number(*row.seconds) : u"-"_s;
    return u"T|%1|%2|%3|%4"_s.arg(row.tag, seconds, row.originalWords, row.newWords);
}

QStringList describe(const LyricSheetModel &sheet)
{
    QStringList rows;
    for (int i = 0; i < sheet.count(); ++i)
        rows << describe(sheet.at(i));
    return rows;
}

// A model with a tester that fails the test on any inconsistent signal.
struct TestedModel {
    LyricSheetModel sheet;
    QAbstractItemModelTester tester{&sheet, QAbstractItemModelTester::FailureReportingMode::QtTest};
};

} // namespace

class TestSheetModel : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void loadOriginal_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("rows");

        QTest::newRow("title line and two timed lines")
            << QStringList{u"[ti:月光]"_s, u"[00:01.00]床前明月光"_s, u"[01:02.50]疑是地上霜"_s}
            << QStringList{u"I|[ti:月光]|"_s, u"T|[00:01.00]|1|床前明月光|"_s,
                           u"T|[01:02.50]|62.5|疑是地上霜|"_s};
        QTest::newRow("tag alone, blank kept before the words")
            << QStringList{u"[00:00.00]"_s, u"[00:03.10] 你好"_s}
            << QStringList{u"T|[00:00.00]|0||"_s, u"T|[00:03.10]|3.1| 你好|"_s};
        QTest::newRow("a tag that is no number has no seconds")
            << QStringList{u"[ab:cd.ef]词"_s, u"[ar:Mr.Li]"_s}
            << QStringList{u"T|[ab:cd.ef]|-|词|"_s, u"T|[ar:Mr.Li]|-||"_s};
        QTest::newRow("info lines stay whole")
            << QStringList{QString(), u"[01:23.456]x"_s, u" [00:01.00]y"_s}
            << QStringList{u"I||"_s, u"I|[01:23.456]x|"_s, u"I| [00:01.00]y|"_s};
        QTest::newRow("second tag stays in the words")
            << QStringList{u"[00:01.00][00:05.00]你好"_s}
            << QStringList{u"T|[00:01.00]|1|[00:05.00]你好|"_s};
        QTest::newRow("no lines") << QStringList{} << QStringList{};
    }

    void loadOriginal()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, rows);
        TestedModel m;
        // A sheet with words of its own first: a load replaces all of it.
        m.sheet.loadOriginal({u"[00:09.00]旧"_s, u"旧信息"_s});
        m.sheet.setNewWords(0, u"旧词"_s);
        QSignalSpy removed(&m.sheet, &LyricSheetModel::rowsRemoved);
        QSignalSpy inserted(&m.sheet, &LyricSheetModel::rowsInserted);

        QCOMPARE(m.sheet.loadOriginal(lines), 0);
        QCOMPARE(describe(m.sheet), rows);
        QCOMPARE(m.sheet.rowCount(), lines.size());
        QCOMPARE(removed.size(), 1);
        QCOMPARE(inserted.size(), lines.size()); // one row at a time, as a view shows them
        QVERIFY(!m.sheet.isModified());
        QVERIFY(!m.sheet.isLoading());
        for (int i = 0; i < m.sheet.count(); ++i) {
            const QModelIndex index = m.sheet.index(i);
            QCOMPARE(index.data(LyricSheetModel::LabelRole).toString(), m.sheet.at(i).label());
            QCOMPARE(index.data(LyricSheetModel::SecondsRole).isValid(),
                     m.sheet.at(i).seconds.has_value());
        }
    }

    void fullSheetLeavesTheRestOut()
    {
        QStringList lines;
        for (int i = 0; i < LyricSheetModel::kMaxRows + 5; ++i)
            lines << u"[00:01.00]%1"_s.arg(i);
        LyricSheetModel sheet;
        QCOMPARE(sheet.loadOriginal(lines), 5);
        QCOMPARE(sheet.count(), LyricSheetModel::kMaxRows);
        QCOMPARE(sheet.at(sheet.count() - 1).originalWords, u"32766"_s);
        QVERIFY(!sheet.appendLine(u"one more"_s));
    }

    void putNewLyrics_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QStringList>("newWords"); // of the three rows afterwards
        QTest::addColumn<int>("leftOver");
        QTest::addColumn<bool>("modified");

        QTest::newRow("fewer lines: later rows keep their words")
            << QStringList{u"[00:09.00]甲"_s} << QStringList{u"甲"_s, u"旧二"_s, u"旧三"_s} << 0
            << true;
        QTest::newRow("more lines: every row filled, the rest counted")
            << QStringList{u"甲"_s, u"[00:00.00]乙"_s, u"丙"_s, u"丁"_s, u"戊"_s}
            << QStringList{u"甲"_s, u"乙"_s, u"丙"_s} << 2 << true;
        QTest::newRow("an empty line empties its row")
            << QStringList{QString(), u"[00:01.00]"_s}
            << QStringList{QString(), QString(), u"旧三"_s} << 0 << true;
        QTest::newRow("a tag of another width stays in the words")
            << QStringList{u"[01:23.456]x"_s, u"[01:23]y"_s, u" [00:01.00]z"_s}
            << QStringList{u"[01:23.456]x"_s, u"[01:23]y"_s, u" [00:01.00]z"_s} << 0 << true;
        QTest::newRow("no lines change nothing")
            << QStringList{} << QStringList{u"旧一"_s, u"旧二"_s, u"旧三"_s} << 0 << false;
    }

    void putNewLyrics()
    {
        QFETCH(QStringList, lines);
        QFETCH(QStringList, newWords);
        QFETCH(int, leftOver);
        QFETCH(bool, modified);
        TestedModel m;
        m.sheet.loadOriginal({u"[ti:x]"_s, u"[00:01.00]一"_s, u"[00:02.00]二"_s});
        const QStringList old = {u"旧一"_s, u"旧二"_s, u"旧三"_s};
        for (int i = 0; i < 3; ++i)
            m.sheet.setNewWords(i, old[i]);
        m.sheet.setModified(false);
        QSignalSpy changed(&m.sheet, &LyricSheetModel::dataChanged);

        QCOMPARE(m.sheet.putNewLyrics(lines), leftOver);
        QStringList got;
        for (int i = 0; i < 3; ++i)
            got << m.sheet.at(i).newWords;
        QCOMPARE(got, newWords);
        QCOMPARE(m.sheet.isModified(), modified);
        // Labels and original words are never touched.
        QCOMPARE(m.sheet.at(0).originalWords, u"[ti:x]"_s);
        QCOMPARE(m.sheet.at(1).tag, u"[00:01.00]"_s);
        // One change for all placed rows, so a view can repaint once.
        QCOMPARE(changed.size(), lines.isEmpty() ? 0 : 1);
    }

    void linesToSave_data()
    {
        QTest::addColumn<QStringList>("original");
        QTest::addColumn<QStringList>("newWords");
        QTest::addColumn<QStringList>("saved");

        QTest::newRow("tag + words, info row's words alone")
            << QStringList{u"[00:01.00]a"_s, u"作者：某人"_s, u"[00:05.50]b"_s}
            << QStringList{u"abc"_s, QString(), u"xyz"_s}
            << QStringList{u"[00:01.00]abc"_s, QString(), u"[00:05.50]xyz"_s};
        QTest::newRow("empty words: tag alone")
            << QStringList{u"[01:02.03]原词"_s} << QStringList{QString()}
            << QStringList{u"[01:02.03]"_s};
        QTest::newRow("spaces kept, odd tag kept as it stood")
            << QStringList{u"[ab:cd.ef]x"_s, u"[00:01.00]y"_s}
            << QStringList{u" 词 "_s, u"  你 好  "_s}
            << QStringList{u"[ab:cd.ef] 词 "_s, u"[00:01.00]  你 好  "_s};
        QTest::newRow("info row with new words")
            << QStringList{u"[ti:歌]"_s} << QStringList{u"新的标题"_s}
            << QStringList{u"新的标题"_s};
        QTest::newRow("no rows") << QStringList{} << QStringList{} << QStringList{};
    }

    void linesToSave()
    {
        QFETCH(QStringList, original);
        QFETCH(QStringList, newWords);
        QFETCH(QStringList, saved);
        LyricSheetModel sheet;
        sheet.loadOriginal(original);
        for (int i = 0; i < newWords.size(); ++i)
            sheet.setData(sheet.index(i), newWords[i]);
        QCOMPARE(sheet.linesToSave(), saved);
        // Saved and opened again, every row's words come back; the sheet has
        // no info row whose words begin with a tag here.
        LyricSheetModel again;
        again.loadOriginal(original);
        QCOMPARE(again.putNewLyrics(saved), 0);
        QCOMPARE(again.linesToSave(), saved);
    }

    void unsavedFlag_data()
    {
        // Steps on a sheet of two rows: t = type "词" into row 0, s = type the
        // same words again, n = open new lyrics of one line, e = open an empty file,
        // w = saved, l = load again, x = type into a row that does not exist.
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("modified");
        QTest::addColumn<int>("changes"); // modifiedChanged signals

        QTest::newRow("typing") << u"t"_s << true << 1;
        QTest::newRow("typing the same words again") << u"tws"_s << false << 2;
        QTest::newRow("saved") << u"tw"_s << false << 2;
        QTest::newRow("opened new lyrics") << u"n"_s << true << 1;
        QTest::newRow("empty file") << u"e"_s << false << 0;
        QTest::newRow("a new load starts clean") << u"tl"_s << false << 2;
        QTest::newRow("a row that does not exist") << u"x"_s << false << 0;
    }

    void unsavedFlag()
    {
        QFETCH(QString, steps);
        QFETCH(bool, modified);
        QFETCH(int, changes);
        TestedModel m;
        const QStringList original = {u"[00:01.00]一"_s, u"[00:02.00]二"_s};
        m.sheet.loadOriginal(original);
        QSignalSpy spy(&m.sheet, &LyricSheetModel::modifiedChanged);
        for (const QChar step : steps) {
            switch (step.unicode()) {
            case u't':
            case u's':
                m.sheet.setNewWords(0, u"词"_s);
                break;
            case u'n':
                m.sheet.putNewLyrics({u"新"_s});
                break;
            case u'e':
                m.sheet.putNewLyrics({});
                break;
            case u'w':
                m.sheet.setModified(false);
                break;
            case u'l':
                m.sheet.loadOriginal(original);
                break;
            case u'x':
                m.sheet.setNewWords(2, u"词"_s);
                m.sheet.setNewWords(-1, u"词"_s);
                break;
            }
        }
        QCOMPARE(m.sheet.isModified(), modified);
        QCOMPARE(spy.size(), changes);
    }

    void loadingFlagAndRowsAsTheyCome()
    {
        TestedModel m;
        QSignalSpy loading(&m.sheet, &LyricSheetModel::loadingChanged);
        m.sheet.beginLoad();
        QVERIFY(m.sheet.isLoading());
        QVERIFY(m.sheet.appendLine(u"[00:01.00]一"_s));
        // A row typed into while the load goes on keeps its words.
        m.sheet.setNewWords(0, u"边载入边写"_s);
        QVERIFY(m.sheet.appendLine(u"[00:02.00]二"_s));
        m.sheet.endLoad();
        QVERIFY(!m.sheet.isLoading());
        QCOMPARE(loading.size(), 2);
        QCOMPARE(m.sheet.linesToSave(), (QStringList{u"[00:01.00]边载入边写"_s, u"[00:02.00]"_s}));
        QVERIFY(m.sheet.isModified());
    }
};

QTEST_GUILESS_MAIN(TestSheetModel)
#include "tst_core_sheetmodel.moc"
