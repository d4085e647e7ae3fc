// The reading tables: real lookups in the tables compiled into the program,
// the shape of every reading they hold, and the checked-in tables against a
// fresh run of scripts/make-reading-tables.py on this machine's packages.

#include "aids/readingtables.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QResource>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using syj::aids::Language;
using syj::aids::ReadingTables;

Q_DECLARE_METATYPE(Language)

namespace {

const QString kSourceDir = QString::fromUtf8(SYJ_SOURCE_DIR);
const QStringList kTables = {u"mandarin.bin"_s,       u"cantonese.bin"_s,       u"english.bin"_s,
                             u"mandarin-words.bin"_s, u"cantonese-words.bin"_s, u"sources.txt"_s};

char32_t onlyCharacter(const QString &s)
{
    const QList<uint> codes = s.toUcs4();
    return codes.size() == 1 ? char32_t(codes.first()) : 0;
}

} // namespace

class TestReadingTables : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void characterReadings_data();
    void characterReadings();
    void countedReadings_data();
    void countedReadings();
    void everyReadingIsWellFormed_data();
    void everyReadingIsWellFormed();
    void wordReadings_data();
    void wordReadings();
    void tablesAreStoredUncompressed();
    void regeneratedTablesAreTheCheckedInOnes();
};

void TestReadingTables::initTestCase()
{
    // Nothing opens the tables behind the program's back: only the first use.
    QVERIFY(!ReadingTables::opened());
    ReadingTables::instance();
    QVERIFY(ReadingTables::opened());
}

void TestReadingTables::characterReadings_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("usual");            // empty: the tables do not know it
    QTest::addColumn<QStringList>("alsoReadings"); // every one of them among the rest

    const auto m = Language::Mandarin;
    const auto c = Language::Cantonese;
    // Mandarin: the syllable typed most often first, then the standard's readings.
    QTest::newRow("长 chang2 zhang3") << u"长"_s << m << u"chang2"_s << QStringList{u"zhang3"_s};
    QTest::newRow("長 traditional, counted as 长")
        << u"長"_s << m << u"chang2"_s << QStringList{u"zhang3"_s};
    QTest::newRow("行 xing2 hang2") << u"行"_s << m << u"xing2"_s << QStringList{u"hang2"_s};
    QTest::newRow("乐 le4 yue4") << u"乐"_s << m << u"le4"_s << QStringList{u"yue4"_s};
    QTest::newRow("重 zhong4 chong2") << u"重"_s << m << u"zhong4"_s << QStringList{u"chong2"_s};
    QTest::newRow("的 neutral tone 5")
        << u"的"_s << m << u"de5"_s << QStringList{u"di2"_s, u"di4"_s};
    QTest::newRow("了 neutral tone 5") << u"了"_s << m << u"le5"_s << QStringList{u"liao3"_s};
    QTest::newRow("绿 keeps ü") << u"绿"_s << m << u"lü4"_s << QStringList{u"lu4"_s};
    QTest::newRow("女 keeps ü") << u"女"_s << m << u"nü3"_s << QStringList{};
    QTest::newRow("first Mandarin character") << u"㐀"_s << m << u"qiu1"_s << QStringList{};
    QTest::newRow("last Mandarin character, plane 3")
        << u"\U00030EDE"_s << m << u"biang2"_s << QStringList{};
    QTest::newRow("〇 has no Mandarin reading in Unihan")
        << u"〇"_s << m << QString() << QStringList{};
    QTest::newRow("Latin letter, Mandarin") << u"a"_s << m << QString() << QStringList{};

    // Cantonese: the unweighted reading first, then by weight.
    QTest::newRow("長 a tie: coeng4, in more words")
        << u"長"_s << c << u"coeng4"_s << QStringList{u"zoeng2"_s, u"zoeng6"_s};
    QTest::newRow("长 simplified finds 長")
        << u"长"_s << c << u"coeng4"_s << QStringList{u"zoeng2"_s, u"zoeng6"_s};
    QTest::newRow("行 hang4 haang4 hong4")
        << u"行"_s << c << u"hang4"_s << QStringList{u"haang4"_s, u"hong4"_s, u"hang6"_s};
    QTest::newRow("樂 lok6 ngok6") << u"樂"_s << c << u"lok6"_s << QStringList{u"ngok6"_s};
    QTest::newRow("乐 simplified finds 樂") << u"乐"_s << c << u"lok6"_s << QStringList{u"ngok6"_s};
    QTest::newRow("重 zung6 cung4 cung5")
        << u"重"_s << c << u"zung6"_s << QStringList{u"cung4"_s, u"cung5"_s};
    QTest::newRow("发 from 發 and 髮") << u"发"_s << c << u"faat3"_s << QStringList{u"fat3"_s};
    QTest::newRow("干 from 乾 幹 干")
        << u"干"_s << c << u"gon1"_s << QStringList{u"gon3"_s, u"kin4"_s, u"hon4"_s};
    QTest::newRow("乾 keeps only its own") << u"乾"_s << c << u"gon1"_s << QStringList{u"kin4"_s};
    QTest::newRow("后 from 後 and 后") << u"后"_s << c << u"hau6"_s << QStringList{};
    QTest::newRow("只 its own zi2 first, then 隻's zek3")
        << u"只"_s << c << u"zi2"_s << QStringList{u"zek3"_s};
    QTest::newRow("嘅 Cantonese character") << u"嘅"_s << c << u"ge3"_s << QStringList{u"ge2"_s};
    QTest::newRow("〇") << u"〇"_s << c << u"ling4"_s << QStringList{};
    QTest::newRow("𠮩 plane 2") << u"\U00020BA9"_s << c << u"aa1"_s << QStringList{};
    QTest::newRow("last Cantonese character") << u"\U00030FAD"_s << c << u"oi3"_s << QStringList{};
    QTest::newRow("々 unknown") << u"々"_s << c << QString() << QStringList{};
    QTest::newRow("full stop") << u"。"_s << c << QString() << QStringList{};
    QTest::newRow("private use") << u"\uE000"_s << c << QString() << QStringList{};
    QTest::newRow("past the last plane") << u"\U0010FFFD"_s << c << QString() << QStringList{};
}

void TestReadingTables::characterReadings()
{
    QFETCH(QString, character);
    QFETCH(Language, language);
    QFETCH(QString, usual);
    QFETCH(QStringList, alsoReadings);

    const QStringList readings =
        ReadingTables::instance().characterReadings(onlyCharacter(character), language);
    if (usual.isEmpty()) {
        QVERIFY2(readings.isEmpty(), qPrintable(readings.join(u' ')));
        return;
    }
    QVERIFY(!readings.isEmpty());
    QCOMPARE(readings.first(), usual);
    for (const QString &r : std::as_const(alsoReadings))
        QVERIFY2(readings.indexOf(r) > 0, qPrintable(r + u" not among "_s + readings.join(u' ')));
}

void TestReadingTables::countedReadings_data()
{
    QTest::addColumn<QString>("character");
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("counted"); // exactly these count, in this order
    QTest::addColumn<QStringList>("rare");    // offered, after them

    const auto m = Language::Mandarin;
    const auto c = Language::Cantonese;
    QTest::newRow("方: only fang1 is standard")
        << u"方"_s << m << QStringList{u"fang1"_s} << QStringList{u"pang2"_s, u"wang3"_s};
    QTest::newRow("分: ban4 is rare")
        << u"分"_s << m << QStringList{u"fen1"_s, u"fen4"_s} << QStringList{u"ban4"_s};
    QTest::newRow("也: yi2 is rare")
        << u"也"_s << m << QStringList{u"ye3"_s} << QStringList{u"yi2"_s};
    QTest::newRow("迹: kMandarin's ji1 is not the standard's")
        << u"迹"_s << m << QStringList{u"ji4"_s} << QStringList{u"ji1"_s};
    QTest::newRow("長: the standard readings of 长")
        << u"長"_s << m << QStringList{u"chang2"_s, u"zhang3"_s} << QStringList{u"zhang4"_s};
    QTest::newRow("家 gu1 rare in Cantonese")
        << u"家"_s << c << QStringList{u"gaa1"_s} << QStringList{u"gu1"_s};
    QTest::newRow("台: 檯's toi2 rare")
        << u"台"_s << c << QStringList{u"toi4"_s} << QStringList{u"toi2"_s};
    QTest::newRow("里: 裏's leoi5 rare")
        << u"里"_s << c << QStringList{u"lei5"_s} << QStringList{u"leoi5"_s};
    QTest::newRow("长: simplified, 長's weighted readings count")
        << u"长"_s << c << QStringList{u"coeng4"_s, u"zoeng2"_s} << QStringList{u"zoeng6"_s};
    QTest::newRow("unknown") << u"。"_s << c << QStringList{} << QStringList{};
}

void TestReadingTables::countedReadings()
{
    QFETCH(QString, character);
    QFETCH(Language, language);
    QFETCH(QStringList, counted);
    QFETCH(QStringList, rare);

    const ReadingTables &tables = ReadingTables::instance();
    const char32_t ch = onlyCharacter(character);
    const QStringList readings = tables.characterReadings(ch, language);
    const qsizetype n = tables.countedReadings(ch, language);
    QCOMPARE(readings.mid(0, n), counted);
    for (const QString &r : std::as_const(rare))
        QVERIFY2(readings.indexOf(r) >= n, qPrintable(r + u" in "_s + readings.join(u' ')));
}

void TestReadingTables::everyReadingIsWellFormed_data()
{
    QTest::addColumn<Language>("language");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("atLeast"); // characters known

    // Lowercase pinyin, ü and ê kept, one tone digit; jyutping with tones 1-6.
    QTest::newRow("Mandarin") << Language::Mandarin << u"^[a-zêü]+[1-5]$"_s << 41000;
    QTest::newRow("Cantonese") << Language::Cantonese << u"^[a-z]+[1-6]$"_s << 30000;
}

void TestReadingTables::everyReadingIsWellFormed()
{
    QFETCH(Language, language);
    QFETCH(QString, pattern);
    QFETCH(int, atLeast);

    const QRegularExpression syllable(pattern);
    const ReadingTables &tables = ReadingTables::instance();
    int known = 0;
    for (char32_t ch = 0x3000; ch < 0x32000; ++ch) {
        QStringList readings = tables.characterReadings(ch, language);
        if (readings.isEmpty())
            continue;
        ++known;
        for (const QString &r : std::as_const(readings))
            QVERIFY2(syllable.match(r).hasMatch(), qPrintable(u"U+%1 %2"_s.arg(ch, 4, 16).arg(r)));
        QVERIFY2(readings.removeDuplicates() == 0, qPrintable(u"U+%1"_s.arg(ch, 4, 16)));
    }
    QVERIFY2(known >= atLeast, qPrintable(QString::number(known)));
}

void TestReadingTables::wordReadings_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("from");
    QTest::addColumn<Language>("language");
    QTest::addColumn<QStringList>("readings");

    const auto c = Language::Cantonese;
    const QStringList bank{u"ngan4"_s, u"hong4"_s};
    QTest::newRow("銀行 hong4, not hang4") << u"銀行"_s << 0 << c << bank;
    QTest::newRow("银行 simplified") << u"银行"_s << 0 << c << bank;
    QTest::newRow("inside a line") << u"我去银行取钱"_s << 2 << c << bank;
    QTest::newRow("音樂 ngok6, not lok6")
        << u"音樂"_s << 0 << c << QStringList{u"jam1"_s, u"ngok6"_s};
    QTest::newRow("音乐 simplified") << u"音乐"_s << 0 << c << QStringList{u"jam1"_s, u"ngok6"_s};
    QTest::newRow("干部: 幹 in simplified")
        << u"干部"_s << 0 << c << QStringList{u"gon3"_s, u"bou6"_s};
    QTest::newRow("返屋企") << u"返屋企"_s << 0 << c
                            << QStringList{u"faan1"_s, u"uk1"_s, u"kei2"_s};
    QTest::newRow("longest: 䁪下 alone")
        << u"䁪下"_s << 0 << c << QStringList{u"zaam2"_s, u"haa5"_s};
    QTest::newRow("longest: 䁪下眼 over 䁪下")
        << u"䁪下眼"_s << 0 << c << QStringList{u"zaam2"_s, u"haa2"_s, u"ngaan5"_s};
    QTest::newRow("longest: 䁪下眼就 with more after")
        << u"䁪下眼就係"_s << 0 << c << QStringList{u"zaam2"_s, u"haa5"_s, u"ngaan5"_s, u"zau6"_s};
    QTest::newRow("plane 2 in a word: one reading per character")
        << u"我倒\U00020DB2"_s << 1 << c << QStringList{u"dou3"_s, u"kap6"_s};
    QTest::newRow("plane 2, from its low surrogate")
        << u"倒\U00020DB2"_s << 2 << c << QStringList{};
    QTest::newRow("長大 zoeng2, not the usual coeng4")
        << u"長大"_s << 0 << c << QStringList{u"zoeng2"_s, u"daai6"_s};
    QTest::newRow("read as its characters: 長城") << u"長城"_s << 0 << c << QStringList{};
    QTest::newRow("a blank parts the word") << u"銀 行"_s << 0 << c << QStringList{};
    QTest::newRow("word cut short") << u"銀行"_s << 1 << c << QStringList{};
    QTest::newRow("from at the end") << u"銀行"_s << 2 << c << QStringList{};
    QTest::newRow("from before the start") << u"銀行"_s << -1 << c << QStringList{};
    QTest::newRow("empty text") << QString() << 0 << c << QStringList{};
    const auto m = Language::Mandarin;
    QTest::newRow("Mandarin 成长 zhang3")
        << u"成长"_s << 0 << m << QStringList{u"cheng2"_s, u"zhang3"_s};
    QTest::newRow("Mandarin 成長 traditional")
        << u"成長"_s << 0 << m << QStringList{u"cheng2"_s, u"zhang3"_s};
    QTest::newRow("Mandarin 还原 huan2")
        << u"还原"_s << 0 << m << QStringList{u"huan2"_s, u"yuan2"_s};
    QTest::newRow("Mandarin hand-checked 头发 fa4")
        << u"剪了头发"_s << 2 << m << QStringList{u"tou2"_s, u"fa4"_s};
    QTest::newRow("Mandarin 长城 read as its characters") << u"长城"_s << 0 << m << QStringList{};
}

void TestReadingTables::wordReadings()
{
    QFETCH(QString, text);
    QFETCH(int, from);
    QFETCH(Language, language);
    QFETCH(QStringList, readings);

    QCOMPARE(ReadingTables::instance().wordReadings(text, from, language), readings);
}

void TestReadingTables::tablesAreStoredUncompressed()
{
    for (const QString &path :
         {u"readings/mandarin.bin"_s, u"readings/cantonese.bin"_s, u"readings/english.bin"_s,
          u"words/mandarin-words.bin"_s, u"words/cantonese-words.bin"_s}) {
        const QString name = path.section(u'/', 1);
        const QResource resource(u":/aids/"_s + path);
        QVERIFY2(resource.isValid(), qPrintable(name));
        QCOMPARE(resource.compressionAlgorithm(), QResource::NoCompression);
        QFile checkedIn(kSourceDir + u"/aids/data/"_s + name);
        QVERIFY(checkedIn.open(QIODevice::ReadOnly));
        QVERIFY2(resource.uncompressedData() == checkedIn.readAll(),
                 qPrintable(name + u" in the program is not the checked-in table"_s));
    }
}

void TestReadingTables::regeneratedTablesAreTheCheckedInOnes()
{
    const QString python = QStandardPaths::findExecutable(u"python3"_s);
    if (python.isEmpty())
        QSKIP("no python3 to run scripts/make-reading-tables.py");
    for (const QString &input :
         {u"/usr/share/unicode/Unihan_Readings.txt.bz2"_s,
          u"/usr/share/rime-data/pinyin_simp.dict.yaml"_s,
          u"/usr/share/rime-data/jyut6ping3.chars.dict.yaml"_s,
          u"/usr/share/rime-data/jyut6ping3.words.dict.yaml"_s,
          u"/usr/share/rime-data/essay-cantonese.txt"_s,
          u"/usr/share/festival/dicts/cmu/cmudict-0.4.out"_s, u"/usr/bin/opencc"_s}) {
        if (!QFile::exists(input))
            QSKIP(qPrintable(input + u" is missing (Debian unicode-data, rime-data-pinyin-simp, "
                                     u"rime-data-jyut6ping3, festlex-cmu, opencc)"_s));
    }
    QTemporaryDir out;
    QVERIFY(out.isValid());
    QProcess script;
    script.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    script.start(python,
                 {kSourceDir + u"/scripts/make-reading-tables.py"_s, u"--out"_s, out.path()});
    QVERIFY(script.waitForFinished(120000));
    QCOMPARE(script.exitStatus(), QProcess::NormalExit);
    QCOMPARE(script.exitCode(), 0);

    auto read = [](const QString &path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    // Other package versions make other tables: say which, before any byte.
    const QByteArray sourcesNow = read(out.filePath(u"sources.txt"_s));
    const QByteArray sourcesThen = read(kSourceDir + u"/aids/data/sources.txt"_s);
    QVERIFY2(sourcesNow == sourcesThen,
             qPrintable(u"the checked-in tables were made from other packages; checked in:\n"_s +
                        QString::fromUtf8(sourcesThen) + u"installed:\n"_s +
                        QString::fromUtf8(sourcesNow)));
    for (const QString &name : kTables) {
        const QByteArray made = read(out.filePath(name));
        QVERIFY2(!made.isEmpty(), qPrintable(name));
        QVERIFY2(made == read(kSourceDir + u"/aids/data/"_s + name),
                 qPrintable(name + u" differs from the one the script makes now: run "_s
                                   u"scripts/make-reading-tables.py and check in aids/data"_s));
    }
}

QTEST_GUILESS_MAIN(TestReadingTables)
#include "tst_core_readingtables.moc"
