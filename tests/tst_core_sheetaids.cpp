// The aids of a whole sheet with no window: each row's counts and rhyme
// verdict follow the words as they are loaded, typed and replaced, and the
// sheet's choices (rhyme system, picked readings) work every row out again.

#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"

#include <QSignalSpy>
#include <QTest>

using namespace Qt::StringLiterals;
using syj::LyricSheetModel;
using syj::SheetAids;
using syj::aids::RhymeVerdict;

namespace {

void load(LyricSheetModel &sheet, const QStringList &lines)
{
    sheet.beginLoad();
    for (const QString &line : lines)
        sheet.appendLine(line);
    sheet.endLoad();
}

// Each row as "original/new verdict set-rhyme", or "-" for a row without aids.
QString describe(const SheetAids &aids, int rows)
{
    QStringList out;
    for (int r = 0; r < rows; ++r) {
        const SheetAids::Row &row = aids.row(r);
        if (!row.known || !row.aided) {
            out << u"-"_s;
            continue;
        }
        static const char *const verdicts[] = {"none", "empty", "keeps", "leaves"};
        out << u"%1/%2 %3 %4"_s.arg(row.originalCount)
                   .arg(row.newCount)
                   .arg(QLatin1StringView(verdicts[static_cast<int>(row.verdict)]), row.setRhyme);
    }
    return out.join(u" | "_s);
}

} // namespace

class TestSheetAids : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // 光, 唐 and 方 end in 十唐 and make a set; 你 stands alone; a tag line
    // has no aids. The set's rhyme is the one most of its new lines take.
    void rowsFollowTheWords_data()
    {
        QTest::addColumn<QStringList>("typed"); // new words of rows 1..5, in turn
        QTest::addColumn<QString>("expected");
        QTest::newRow("nothing typed") << QStringList{{}, {}, {}, {}, {}}
                                       << u"- | 2/0 empty  | 2/0 empty  | 2/0 none  | 2/0 empty "_s;
        QTest::newRow("one line sets the rhyme")
            << QStringList{{}, u"天际"_s, {}, {}, {}}
            << u"- | 2/2 keeps 十二齐 | 2/0 empty 十二齐 | 2/0 none  | 2/0 empty 十二齐"_s;
        QTest::newRow("the most win, one leaves")
            << QStringList{{}, u"天际"_s, u"回家"_s, u"你好"_s, u"美丽"_s}
            << u"- | 2/2 keeps 十二齐 | 2/2 leaves 十二齐 | 2/2 none  | 2/2 keeps 十二齐"_s;
        QTest::newRow("a tie goes to the original's group")
            << QStringList{{}, u"天际"_s, u"故乡"_s, {}, {}}
            << u"- | 2/2 leaves 十唐 | 2/2 keeps 十唐 | 2/0 none  | 2/0 empty 十唐"_s;
        QTest::newRow("particles passed over, sung syllables counted")
            << QStringList{{}, u"想回家了"_s, u"baby 家呀"_s, {}, u"他乡啊"_s}
            << u"- | 2/4 keeps 一麻 | 2/4 keeps 一麻 | 2/0 none  | 2/3 leaves 一麻"_s;
    }
    void rowsFollowTheWords()
    {
        QFETCH(QStringList, typed);
        QFETCH(QString, expected);
        LyricSheetModel sheet;
        SheetAids aids(sheet);
        load(sheet, {u"[ti:月光]"_s, u"[00:01.00]月光"_s, u"[00:02.00]大唐"_s, u"[00:03.00]爱你"_s,
                     u"[00:04.00]远方"_s});
        for (int r = 0; r < typed.size(); ++r)
            sheet.setNewWords(r, typed[r]);
        QCOMPARE(describe(aids, sheet.count()), expected);
    }

    // A second sheet replaces the first's rows; a choice of the sheet works
    // every row out again, and a picked reading moves one row's rhyme.
    void choicesAndNewSheets()
    {
        LyricSheetModel sheet;
        SheetAids aids(sheet);
        load(sheet, {u"[00:01.00]月光"_s, u"[00:02.00]大唐"_s, u"[00:03.00]爱你"_s});
        load(sheet, {u"[00:01.00]长夜"_s, u"[00:02.00]花谢"_s});
        sheet.setNewWords(0, u"明月"_s);
        QCOMPARE(describe(aids, sheet.count()), u"2/2 keeps 三皆 | 2/0 empty 三皆"_s);

        QSignalSpy all(&aids, &SheetAids::allChanged);
        sheet.setRhymeSystem(syj::aids::RhymeSystem::ShisanZhe);
        QCOMPARE(all.count(), 1);
        QCOMPARE(describe(aids, sheet.count()), u"2/2 keeps 乜斜 | 2/0 empty 乜斜"_s);

        sheet.setRhymeSystem(syj::aids::RhymeSystem::ZhonghuaXinyun);
        sheet.setNewWords(1, u"归还"_s);
        QVERIFY(aids.row(1).ends.newWords.size() > 1); // hái or huán
        sheet.setReadingPick(1, LyricSheetModel::Side::NewWords, 1, u"huan2"_s);
        QCOMPARE(aids.row(1).ends.newWords, QStringList{u"八寒"_s});
        QCOMPARE(aids.row(1).verdict, RhymeVerdict::Leaves);
    }
};

QTEST_GUILESS_MAIN(TestSheetAids)
#include "tst_core_sheetaids.moc"
