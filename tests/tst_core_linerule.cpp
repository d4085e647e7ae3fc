// The line rule: which lines are timed, how a line splits into label and
// words, and what a label's time tag is worth in seconds.

#include "sheet/linerule.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Characters outside the Basic Multilingual Plane: two UTF-16 units each.
const QString kCjkExtB = u"\U00020000"_s; // 𠀀
const QString kGrin = u"\U0001F600"_s;    // 😀

QString LoneSurrogate(char16_t unit)
{
    return QString(QChar(unit));
}

} // namespace

class TestLineRule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void splitLine_data();
    void splitLine();
    void timedLineSeesOnlyTheView_data();
    void timedLineSeesOnlyTheView();
    void secondsOfATag_data();
    void secondsOfATag();
    void charactersCounted_data();
    void charactersCounted();
    void charactersFromAPlace_data();
    void charactersFromAPlace();
};

void TestLineRule::splitLine_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("timed");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("words");

    const QString info = QStringView(syj::kInfoLabel).toString();

    QTest::newRow("tag and words") << u"[01:23.45]你好"_s << true << u"[01:23.45]"_s << u"你好"_s;
    QTest::newRow("tag alone") << u"[01:23.45]"_s << true << u"[01:23.45]"_s << QString();
    QTest::newRow("blank after tag stays")
        << u"[00:01.00] 你好"_s << true << u"[00:01.00]"_s << u" 你好"_s;
    QTest::newRow("trailing blanks stay")
        << u"[00:01.00]你好  "_s << true << u"[00:01.00]"_s << u"你好  "_s;
    QTest::newRow("second tag is words")
        << u"[00:01.00][00:05.00]你好"_s << true << u"[00:01.00]"_s << u"[00:05.00]你好"_s;
    QTest::newRow("letters in the fields")
        << u"[ab:cd.ef]你好"_s << true << u"[ab:cd.ef]"_s << u"你好"_s;
    QTest::newRow("artist tag looks timed")
        << u"[ar:Mr.Li]"_s << true << u"[ar:Mr.Li]"_s << QString();
    QTest::newRow("blanks in the fields") << u"[ 1: 2. 3]x"_s << true << u"[ 1: 2. 3]"_s << u"x"_s;
    QTest::newRow("tab and lone LF in words")
        << u"[00:01.00]\ta\nb"_s << true << u"[00:01.00]"_s << u"\ta\nb"_s;

    QTest::newRow("three-digit hundredths")
        << u"[01:23.456]你好"_s << false << info << u"[01:23.456]你好"_s;
    QTest::newRow("one-digit minutes") << u"[1:23.45]你好"_s << false << info << u"[1:23.45]你好"_s;
    QTest::newRow("three-digit minutes") << u"[100:00.00]"_s << false << info << u"[100:00.00]"_s;
    QTest::newRow("colon for the dot")
        << u"[00:01:00]你好"_s << false << info << u"[00:01:00]你好"_s;
    QTest::newRow("blank before tag")
        << u" [00:01.00]你好"_s << false << info << u" [00:01.00]你好"_s;
    QTest::newRow("title tag") << u"[ti:你好]"_s << false << info << u"[ti:你好]"_s;
    QTest::newRow("empty line") << QString() << false << info << QString();
    QTest::newRow("one character") << u"["_s << false << info << u"["_s;
    QTest::newRow("nine characters") << u"[01:23.45"_s << false << info << u"[01:23.45"_s;
    QTest::newRow("closing bracket missing") << u"[01:23.45x"_s << false << info << u"[01:23.45x"_s;
    QTest::newRow("full-width brackets")
        << u"［01:23.45］你好"_s << false << info << u"［01:23.45］你好"_s;
    QTest::newRow("full-width colon and dot")
        << u"[01：23．45]你好"_s << false << info << u"[01：23．45]你好"_s;
    QTest::newRow("round brackets") << u"(01:23.45)你好"_s << false << info << u"(01:23.45)你好"_s;

    // Characters outside the BMP count one each, wherever they stand.
    QTest::newRow("wide character in minutes") << u"[%1:23.45]x"_s.arg(kCjkExtB + u"1"_s) << true
                                               << u"[%1:23.45]"_s.arg(kCjkExtB + u"1"_s) << u"x"_s;
    QTest::newRow("wide character in hundredths")
        << u"[01:23.4%1]%1"_s.arg(kGrin) << true << u"[01:23.4%1]"_s.arg(kGrin) << kGrin;
    QTest::newRow("wide character in words")
        << u"[01:23.45]"_s + kGrin << true << u"[01:23.45]"_s << kGrin;
    QTest::newRow("wide character shifts the tag")
        << u"[%1:ab.cd]x"_s.arg(kCjkExtB) << false << info << u"[%1:ab.cd]x"_s.arg(kCjkExtB);
    QTest::newRow("wide character where the colon goes")
        << u"[01%1:23.45]"_s.arg(kGrin) << false << info << u"[01%1:23.45]"_s.arg(kGrin);
    QTest::newRow("lone high surrogate counts one")
        << u"[0"_s + LoneSurrogate(0xD83D) + u":23.45]x"_s << true
        << u"[0"_s + LoneSurrogate(0xD83D) + u":23.45]"_s << u"x"_s;
    QTest::newRow("lone low surrogate counts one")
        << u"["_s + LoneSurrogate(0xDE00) + u"1:23.45]x"_s << true
        << u"["_s + LoneSurrogate(0xDE00) + u"1:23.45]"_s << u"x"_s;
    QTest::newRow("high surrogate at the end of the tag")
        << u"[01:23.45"_s + LoneSurrogate(0xD83D) << false << info
        << u"[01:23.45"_s + LoneSurrogate(0xD83D);
}

void TestLineRule::splitLine()
{
    QFETCH(QString, line);
    QFETCH(bool, timed);
    QFETCH(QString, label);
    QFETCH(QString, words);

    QCOMPARE(syj::isTimedLine(line), timed);
    const syj::LyricLineParts parts = syj::splitLyricLine(line);
    QCOMPARE(parts.label, label);
    QCOMPARE(parts.words, words);
    // Nothing is lost or added between label and words of a timed line.
    if (timed) {
        QCOMPARE(parts.label + parts.words, line);
        QCOMPARE(syj::characterCount(parts.label), syj::kTagLength);
    }
}

void TestLineRule::timedLineSeesOnlyTheView_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("length");
    QTest::addColumn<bool>("timed");

    QTest::newRow("whole tag in view") << u"[01:23.45]abc"_s << qsizetype(10) << true;
    QTest::newRow("closing bracket past the view") << u"[01:23.45]abc"_s << qsizetype(9) << false;
    QTest::newRow("low surrogate past the view")
        << u"[01:23.4"_s + kGrin + u"]"_s << qsizetype(9) << false;
    QTest::newRow("empty view of a tag") << u"[01:23.45]"_s << qsizetype(0) << false;
}

void TestLineRule::timedLineSeesOnlyTheView()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, length);
    QFETCH(bool, timed);

    QCOMPARE(syj::isTimedLine(QStringView(text).first(length)), timed);
}

void TestLineRule::secondsOfATag_data()
{
    QTest::addColumn<QString>("tag");
    QTest::addColumn<bool>("hasValue");
    QTest::addColumn<double>("seconds");

    // Expected values are built the way a play position is defined:
    // whole seconds first, then hundredths / 100 added in double.
    QTest::newRow("ordinary") << u"[01:23.45]"_s << true << (1 * 60 + 23) + 45 / 100.0;
    QTest::newRow("zero") << u"[00:00.00]"_s << true << 0.0;
    QTest::newRow("leading zeros") << u"[07:07.07]"_s << true << (7 * 60 + 7) + 7 / 100.0;
    QTest::newRow("largest") << u"[99:59.99]"_s << true << (99 * 60 + 59) + 99 / 100.0;
    QTest::newRow("seconds past 59") << u"[00:75.00]"_s << true << 75.0;
    QTest::newRow("blanks before digits") << u"[ 1: 2. 3]"_s << true << (1 * 60 + 2) + 3 / 100.0;
    QTest::newRow("blanks after digits") << u"[1 :2 .3 ]"_s << true << (1 * 60 + 2) + 3 / 100.0;
    QTest::newRow("negative minutes") << u"[-1:00.00]"_s << true << -60.0;
    QTest::newRow("negative seconds") << u"[01:-5.00]"_s << true << (1 * 60 - 5) + 0 / 100.0;
    QTest::newRow("negative hundredths") << u"[00:00.-5]"_s << true << 0 + -5 / 100.0;
    QTest::newRow("words after the tag")
        << u"[01:23.45]你好"_s << true << (1 * 60 + 23) + 45 / 100.0;

    QTest::newRow("letters") << u"[ab:cd.ef]"_s << false << 0.0;
    QTest::newRow("artist tag") << u"[ar:Mr.Li]"_s << false << 0.0;
    QTest::newRow("only blanks in minutes") << u"[  :00.00]"_s << false << 0.0;
    QTest::newRow("only blanks in hundredths") << u"[00:00.  ]"_s << false << 0.0;
    QTest::newRow("digit then letter") << u"[0a:00.00]"_s << false << 0.0;
    QTest::newRow("plus sign is no number") << u"[+1:00.00]"_s << false << 0.0;
    QTest::newRow("minus alone") << u"[- :00.00]"_s << false << 0.0;
    QTest::newRow("minus after digit") << u"[1-:00.00]"_s << false << 0.0;
    QTest::newRow("two minus signs") << u"[--:00.00]"_s << false << 0.0;
    QTest::newRow("blank between sign and digit") << u"[00:00.- ]"_s << false << 0.0;
    QTest::newRow("tab is no blank") << u"[\t1:00.00]"_s << false << 0.0;
    QTest::newRow("full-width digits") << u"[０１:00.00]"_s << false << 0.0;
    QTest::newRow("full-width blank") << u"[　1:00.00]"_s << false << 0.0;
    QTest::newRow("wide character in a field") << u"[%1:00.00]"_s.arg(kGrin) << false << 0.0;
    QTest::newRow("wide character shortens the tag")
        << u"["_s + kCjkExtB + u"1:00.0]"_s << false << 0.0;
    QTest::newRow("nine characters") << u"[01:23.45"_s << false << 0.0;
    QTest::newRow("short") << u"[01:2"_s << false << 0.0;
    QTest::newRow("empty") << QString() << false << 0.0;
    QTest::newRow("info label") << QStringView(syj::kInfoLabel).toString() << false << 0.0;
}

void TestLineRule::secondsOfATag()
{
    QFETCH(QString, tag);
    QFETCH(bool, hasValue);
    QFETCH(double, seconds);

    const std::optional<double> value = syj::tagSeconds(tag);
    QCOMPARE(value.has_value(), hasValue);
    if (hasValue)
        QCOMPARE(*value, seconds);
}

void TestLineRule::charactersCounted_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("count");

    QTest::newRow("Chinese and Latin") << u"你好 world"_s << qsizetype(8);
    QTest::newRow("empty") << QString() << qsizetype(0);
    QTest::newRow("title tag") << u"[ti:你好]"_s << qsizetype(7);
    QTest::newRow("wide character and letter") << kGrin + u"a"_s << qsizetype(2);
    QTest::newRow("two wide characters") << kGrin + kCjkExtB << qsizetype(2);
    QTest::newRow("lone high surrogate") << u"a"_s + LoneSurrogate(0xD83D) + u"b"_s << qsizetype(3);
    QTest::newRow("lone high surrogate at the end")
        << u"a"_s + LoneSurrogate(0xD83D) << qsizetype(2);
    QTest::newRow("surrogates in the wrong order")
        << LoneSurrogate(0xDE00) + LoneSurrogate(0xD83D) << qsizetype(2);
    QTest::newRow("line ends count") << u"a\r\nb"_s << qsizetype(4);
}

void TestLineRule::charactersCounted()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, count);

    QCOMPARE(syj::characterCount(text), count);
}

void TestLineRule::charactersFromAPlace_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qsizetype>("from");
    QTest::addColumn<QString>("rest");

    QTest::newRow("from the start") << u"你好"_s << qsizetype(0) << u"你好"_s;
    QTest::newRow("from the middle") << u"你好吗"_s << qsizetype(1) << u"好吗"_s;
    QTest::newRow("at the end") << u"你好"_s << qsizetype(2) << QString();
    QTest::newRow("past the end") << u"你好"_s << qsizetype(5) << QString();
    QTest::newRow("negative start") << u"abc"_s << qsizetype(-1) << u"abc"_s;
    QTest::newRow("after a wide character") << kGrin + u"abc"_s << qsizetype(1) << u"abc"_s;
    QTest::newRow("words of a tag with a wide character")
        << u"[%1:23.45]x"_s.arg(kCjkExtB + u"1"_s) << qsizetype(10) << u"x"_s;
    QTest::newRow("a wide character stays whole")
        << u"a"_s + kGrin + kGrin << qsizetype(2) << kGrin;
    QTest::newRow("empty text") << QString() << qsizetype(3) << QString();
}

void TestLineRule::charactersFromAPlace()
{
    QFETCH(QString, text);
    QFETCH(qsizetype, from);
    QFETCH(QString, rest);

    QCOMPARE(syj::charactersFrom(text, from), rest);
}

QTEST_APPLESS_MAIN(TestLineRule)

#include "tst_core_linerule.moc"
