// The word finder against the plain answer: every word of the table of that
// length, one by one, kept where each syllable's class fits the place as the
// aids judge a fit, the rhyme and the characters hold. The finder must list
// the same words, the most frequent first, and count them all.
#include "aids/lineanalysis.h"
#include "aids/wordfinder.h"

#include <QTest>

using namespace Qt::StringLiterals;
using syj::aids::FoundWord;
using syj::aids::Language;
using syj::aids::RhymeSystem;
using syj::aids::WordSearch;
using syj::aids::WordTables;

Q_DECLARE_METATYPE(Language)
Q_DECLARE_METATYPE(RhymeSystem)

namespace {

using Place = QList<QStringList>;

// The words a search must find, worked out word by word.
QList<FoundWord> everyFit(const WordSearch &search)
{
    const WordTables &tables = WordTables::instance();
    const int length = static_cast<int>(search.classes.size());
    QList<char32_t> wanted;
    for (char32_t c : search.characters.toUcs4()) {
        if (!QChar::isSpace(c))
            wanted.append(c);
    }
    QList<FoundWord> out;
    for (qsizetype i = 0; i < tables.wordCount(search.language, length); ++i) {
        const FoundWord w = tables.word(search.language, length, i);
        bool fits = w.reading.size() == length;
        for (int k = 0; k < length && fits; ++k) {
            const QString cls = syj::aids::toneClass(w.reading[k], search.language);
            bool any = search.classes[k].isEmpty();
            for (const QString &original : search.classes[k])
                any = any || syj::aids::toneClassesFit(original, cls);
            fits = any;
        }
        if (fits && !search.rhyme.isEmpty())
            fits = syj::aids::rhymeGroup(w.reading.last(), search.system) == search.rhyme;
        const QList<uint> codes = w.text.toUcs4();
        for (qsizetype k = 0; k < wanted.size() && fits; ++k)
            fits = search.startsWith ? k < codes.size() && codes[k] == wanted[k]
                                     : codes.contains(wanted[k]);
        if (fits)
            out.append(w);
    }
    return out;
}

} // namespace

class TestWordFinder : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void findsEveryWordThatFits_data();
    void findsEveryWordThatFits();
    void wordsAreReadAsTheAidsReadThem_data();
    void wordsAreReadAsTheAidsReadThem();
    void badPlacesFindNothing();
};

void TestWordFinder::findsEveryWordThatFits_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<Place>("place");
    QTest::addColumn<QString>("rhyme");
    QTest::addColumn<RhymeSystem>("system");
    QTest::addColumn<QString>("characters");
    QTest::addColumn<bool>("startsWith");
    QTest::addColumn<int>("limit");

    const auto c = Language::Cantonese;
    const auto m = Language::Mandarin;
    const auto finals = RhymeSystem::CantoneseFinals;
    const auto xinyun = RhymeSystem::ZhonghuaXinyun;
    const auto zhe = RhymeSystem::ShisanZhe;
    const QString none;
    // clang-format off
    QTest::newRow("Cantonese 3-4") << c << Place{{u"3"_s}, {u"4"_s}} << none << finals << none << false << 300;
    QTest::newRow("Cantonese 0-2-3") << c << Place{{u"0"_s}, {u"2"_s}, {u"3"_s}} << none << finals << none << false << 300;
    QTest::newRow("Cantonese 3-3-4-0") << c << Place{{u"3"_s}, {u"3"_s}, {u"4"_s}, {u"0"_s}} << none << finals << none << false << 300;
    QTest::newRow("Cantonese 4-3, rhyme ong") << c << Place{{u"4"_s}, {u"3"_s}} << u"ong"_s << finals << none << false << 300;
    QTest::newRow("Cantonese 2-0, rhyme off") << c << Place{{u"2"_s}, {u"0"_s}} << none << finals << none << false << 300;
    QTest::newRow("Cantonese one syllable 3, rhyme aa") << c << Place{{u"3"_s}} << u"aa"_s << finals << none << false << 300;
    QTest::newRow("Cantonese 3 or 4, then 0") << c << Place{{u"3"_s, u"4"_s}, {u"0"_s}} << none << finals << none << false << 300;
    QTest::newRow("Cantonese no reading, then 2") << c << Place{{}, {u"2"_s}} << none << finals << none << false << 300;
    QTest::newRow("Cantonese 3-0 containing 心") << c << Place{{u"3"_s}, {u"0"_s}} << none << finals << u"心"_s << false << 300;
    QTest::newRow("Cantonese 3-4 starting with 愛") << c << Place{{u"3"_s}, {u"4"_s}} << none << finals << u"愛"_s << true << 300;
    QTest::newRow("Cantonese 4-3-3, rhyme ing, containing 天") << c << Place{{u"4"_s}, {u"3"_s}, {u"3"_s}} << u"ing"_s << finals << u"天"_s << false << 300;
    QTest::newRow("Cantonese 2-3, the first ten") << c << Place{{u"2"_s}, {u"3"_s}} << none << finals << none << false << 10;
    QTest::newRow("Mandarin 平仄") << m << Place{{u"平"_s}, {u"仄"_s}} << none << xinyun << none << false << 300;
    QTest::newRow("Mandarin 仄平平, rhyme 十唐") << m << Place{{u"仄"_s}, {u"平"_s}, {u"平"_s}} << u"十唐"_s << xinyun << none << false << 300;
    QTest::newRow("Mandarin 平平, rhyme 江阳") << m << Place{{u"平"_s}, {u"平"_s}} << u"江阳"_s << zhe << none << false << 300;
    QTest::newRow("Mandarin 平, then 轻") << m << Place{{u"平"_s}, {u"轻"_s}} << none << xinyun << none << false << 300;
    QTest::newRow("Mandarin 平 or 仄, then 仄") << m << Place{{u"平"_s, u"仄"_s}, {u"仄"_s}} << none << xinyun << none << false << 300;
    QTest::newRow("Mandarin 仄仄平平") << m << Place{{u"仄"_s}, {u"仄"_s}, {u"平"_s}, {u"平"_s}} << none << xinyun << none << false << 300;
    QTest::newRow("Mandarin one syllable 仄, rhyme 五微") << m << Place{{u"仄"_s}} << u"五微"_s << xinyun << none << false << 300;
    QTest::newRow("Mandarin 平仄 starting with 爱") << m << Place{{u"平"_s}, {u"仄"_s}} << none << xinyun << u"爱"_s << true << 300;
    QTest::newRow("Mandarin 平平 containing 花 and 心") << m << Place{{u"平"_s}, {u"平"_s}} << none << xinyun << u"花 心"_s << false << 300;
    // clang-format on
}

void TestWordFinder::findsEveryWordThatFits()
{
    QFETCH(Language, language);
    QFETCH(Place, place);
    QFETCH(QString, rhyme);
    QFETCH(RhymeSystem, system);
    QFETCH(QString, characters);
    QFETCH(bool, startsWith);
    QFETCH(int, limit);
    WordSearch search;
    search.language = language;
    search.classes = place;
    search.rhyme = rhyme;
    search.system = system;
    search.characters = characters;
    search.startsWith = startsWith;
    search.limit = limit;

    const QList<FoundWord> expected = everyFit(search);
    const syj::aids::WordsFound found = WordTables::instance().find(search);
    QVERIFY2(!expected.isEmpty() || !characters.isEmpty(),
             "a place that finds nothing tests little");
    QCOMPARE(found.count, expected.size());
    QCOMPARE(found.words.size(), std::min<qsizetype>(limit, expected.size()));
    for (qsizetype i = 0; i < found.words.size(); ++i) {
        if (found.words[i] != expected[i])
            QFAIL(qPrintable(u"word %1: %2 %3, expected %4 %5"_s.arg(i).arg(
                found.words[i].text, found.words[i].reading.join(u' '), expected[i].text,
                expected[i].reading.join(u' '))));
    }
}

void TestWordFinder::wordsAreReadAsTheAidsReadThem_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<int>("syllables");
    for (int n = 1; n <= WordTables::kMaxSyllables; ++n) {
        QTest::addRow("Mandarin, %d", n) << Language::Mandarin << n;
        QTest::addRow("Cantonese, %d", n) << Language::Cantonese << n;
    }
}

// A word offered with a reading the aids do not count would be marked as not
// fitting the moment it is put into the line.
void TestWordFinder::wordsAreReadAsTheAidsReadThem()
{
    QFETCH(Language, language);
    QFETCH(int, syllables);
    const WordTables &tables = WordTables::instance();
    const qsizetype count = tables.wordCount(language, syllables);
    QVERIFY(count > 1000);
    // The common words, and a sample of the rest.
    for (qsizetype i = 0; i < count; i += i < 2000 ? 1 : 97) {
        const FoundWord w = tables.word(language, syllables, i);
        QCOMPARE(w.reading.size(), syllables);
        const syj::aids::LineReading line = syj::aids::readLine(w.text, language);
        QCOMPARE(line.syllables.size(), syllables);
        for (int k = 0; k < syllables; ++k) {
            if (!line.readingsAt(k, {}).contains(w.reading[k]))
                QFAIL(qPrintable(u"%1 (%2): %3 is not a reading the aids count"_s.arg(
                    w.text, w.reading.join(u' '), w.reading[k])));
        }
    }
}

void TestWordFinder::badPlacesFindNothing()
{
    WordSearch search;
    search.language = Language::Cantonese;
    QCOMPARE(WordTables::instance().find(search).count, 0);
    search.classes = Place(5, {u"3"_s});
    QCOMPARE(WordTables::instance().find(search).count, 0);
    search.classes = Place{{u"3"_s}, {u"4"_s}};
    search.limit = -1;
    const auto found = WordTables::instance().find(search);
    QVERIFY(found.count > 0);
    QVERIFY(found.words.isEmpty());
    search.limit = 300;
    search.characters = u"愛情故事"_s;
    search.startsWith = true;
    QCOMPARE(WordTables::instance().find(search).count, 0);
    QCOMPARE(WordTables::instance().word(Language::Mandarin, 2, -1), FoundWord{});
    QCOMPARE(WordTables::instance().word(Language::Mandarin, 0, 0), FoundWord{});
}

QTEST_GUILESS_MAIN(TestWordFinder)
#include "tst_core_wordfinder.moc"
