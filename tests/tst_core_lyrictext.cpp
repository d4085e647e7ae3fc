// Lyric text files: decoding and encoding the code page, line ends, the name of
// a lyric file, and reading and writing real files.

#include "sheet/linerule.h"
#include "sheet/lyrictext.h"
#include "support/filehazards.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace syj {

char *toString(LyricEncoding encoding)
{
    switch (encoding) {
    case LyricEncoding::Gb18030:
        return qstrdup("Gb18030");
    case LyricEncoding::Utf8:
        return qstrdup("Utf8");
    case LyricEncoding::Big5:
        return qstrdup("Big5");
    case LyricEncoding::Utf16Le:
        return qstrdup("Utf16Le");
    case LyricEncoding::Utf16Be:
        return qstrdup("Utf16Be");
    }
    return qstrdup("?");
}

char *toString(LyricFileRead::Status status)
{
    switch (status) {
    case LyricFileRead::Status::Ok:
        return qstrdup("Ok");
    case LyricFileRead::Status::NotFound:
        return qstrdup("NotFound");
    case LyricFileRead::Status::Unreadable:
        return qstrdup("Unreadable");
    case LyricFileRead::Status::TooLarge:
        return qstrdup("TooLarge");
    case LyricFileRead::Status::NotText:
        return qstrdup("NotText");
    case LyricFileRead::Status::LineTooLong:
        return qstrdup("LineTooLong");
    }
    return qstrdup("?");
}

} // namespace syj

namespace {

using syj::LyricEncoding;
using Status = syj::LyricFileRead::Status;

QByteArray Hex(const char *hex)
{
    return QByteArray::fromHex(hex);
}

QByteArray Ascii(const char *text)
{
    return QByteArray(text);
}

const QString kGrin = u"\U0001F600"_s;    // 😀, outside GBK
const QString kCjkExtB = u"\U00020000"_s; // 𠀀, outside GBK
// 你好 in GBK.
const QByteArray kNiHaoGbk = Hex("c4e3bac3");

// Sample lyrics written for these tests, lines ending in CR LF. A Cantonese
// song: 嘅, 哋, 喺, 咗, 啲, 嚟, 冇, 嘢 … are Hong Kong (HKSCS) codes outside
// Big5 proper. A Mandarin song in traditional characters, all in Big5 proper,
// and the same song in simplified characters.
const QString kCantoneseLyrics = u"[ti:街角]\r\n"
                                 "[00:12.30]今晚嘅月光照住你\r\n"
                                 "[00:16.80]我哋喺街角等咗好耐\r\n"
                                 "[00:21.40]唔好走住啦 再陪我一陣\r\n"
                                 "[00:26.10]啲歌聲飄嚟飄去\r\n"
                                 "[00:30.70]佢話冇嘢可以再講\r\n"
                                 "[00:35.20]我仲係諗住你\r\n"
                                 "[00:39.90]海風吹過旺角街頭\r\n"
                                 "[00:44.50]呢份情 點會冇咗\r\n"_s;
const QString kTraditionalLyrics = u"[ti:雨中]\r\n"
                                   "[00:10.00]風吹過城市的街頭\r\n"
                                   "[00:14.50]我們在雨中慢慢走\r\n"
                                   "[00:19.20]燈火照亮你的臉\r\n"
                                   "[00:23.80]這一刻不想說再見\r\n"
                                   "[00:28.40]時間請你停一停\r\n"
                                   "[00:33.00]讓愛留在我心裡\r\n"_s;
const QString kSimplifiedLyrics = u"[ti:雨中]\r\n"
                                  "[00:10.00]风吹过城市的街头\r\n"
                                  "[00:14.50]我们在雨中慢慢走\r\n"
                                  "[00:19.20]灯火照亮你的脸\r\n"
                                  "[00:23.80]这一刻不想说再见\r\n"
                                  "[00:28.40]时间请你停一停\r\n"
                                  "[00:33.00]让爱留在我心里\r\n"_s;

// Text in a code page through Qt's own encoder; every character must have a
// code there.
QByteArray Encoded(const char *codePage, const QString &text)
{
    QStringEncoder encoder(codePage, QStringEncoder::Flag::Stateless);
    const QByteArray bytes = encoder.encode(text);
    if (!encoder.isValid() || encoder.hasError())
        qFatal("%s cannot encode %s", codePage, qPrintable(text));
    return bytes;
}

// Bytes as GB18030 reads them, through Qt's own decoder.
QString Gb18030Reading(const QByteArray &bytes)
{
    return QStringDecoder("GB18030").decode(bytes);
}

// The columns of the tables that decode bytes: the text they read as, its
// encoding and how many sequences in it are invalid.
void AddDecodeColumns()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<LyricEncoding>("encoding");
    QTest::addColumn<qsizetype>("invalid");
}

// What stands at the name before a file test runs.
enum class Setup {
    Nothing,      // no file
    File,         // a file holding the content
    ReadOnlyFile, // a file holding the content, without write permission
    Folder,       // a folder with one file inside
    BrokenLink,   // a symbolic link to nothing
    LinkToFile,   // a symbolic link to a file holding the content
    LinkToFolder, // a symbolic link to a folder
    Pipe,         // a named pipe
    LinkToPipe,   // a symbolic link to a named pipe
    LinkToDevice, // a symbolic link to /dev/zero
    Socket,       // a Unix socket
    Sparse,       // a file of the given size, all NUL bytes, mostly holes
    ParentIsFile, // the name's folder is a file holding the content
};

// Four bytes of a GB18030 four-byte sequence from its linear index.
QByteArray FourByteCode(qint32 index)
{
    QByteArray bytes(4, Qt::Uninitialized);
    bytes[3] = char(0x30 + index % 10);
    index /= 10;
    bytes[2] = char(0x81 + index % 126);
    index /= 126;
    bytes[1] = char(0x30 + index % 10);
    index /= 10;
    bytes[0] = char(0x81 + index);
    return bytes;
}

bool WriteBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray ReadBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<unreadable>";
    return file.readAll();
}

// Makes what the setup asks for at dir/name and returns the full path (the
// empty path for the empty name).
QString Prepare(const QTemporaryDir &dir, const QString &name, Setup setup,
                const QByteArray &content, qint64 size = 0)
{
    if (name.isEmpty())
        return {};
    const QString path = dir.filePath(name);
    switch (setup) {
    case Setup::Nothing:
        break;
    case Setup::File:
        if (!WriteBytes(path, content))
            qFatal("cannot write %s", qPrintable(path));
        break;
    case Setup::ReadOnlyFile:
        if (!WriteBytes(path, content) || !QFile::setPermissions(path, QFile::ReadOwner))
            qFatal("cannot write %s", qPrintable(path));
        break;
    case Setup::Folder:
        if (!QDir().mkpath(path) || !WriteBytes(path + u"/inside.txt"_s, "inside"))
            qFatal("cannot make %s", qPrintable(path));
        break;
    case Setup::BrokenLink:
        if (!QFile::link(dir.filePath(u"nowhere"_s), path))
            qFatal("cannot link %s", qPrintable(path));
        break;
    case Setup::LinkToFile:
        if (!WriteBytes(dir.filePath(u"target"_s), content) ||
            !QFile::link(dir.filePath(u"target"_s), path)) {
            qFatal("cannot link %s", qPrintable(path));
        }
        break;
    case Setup::LinkToFolder:
        if (!QDir().mkpath(dir.filePath(u"targetdir"_s)) ||
            !QFile::link(dir.filePath(u"targetdir"_s), path)) {
            qFatal("cannot link %s", qPrintable(path));
        }
        break;
    case Setup::Pipe:
        if (!syj::test::makePipe(path))
            qFatal("cannot make a pipe at %s", qPrintable(path));
        break;
    case Setup::LinkToPipe:
        if (!syj::test::makePipe(dir.filePath(u"fifo"_s)) ||
            !QFile::link(dir.filePath(u"fifo"_s), path)) {
            qFatal("cannot link %s", qPrintable(path));
        }
        break;
    case Setup::LinkToDevice:
        if (!QFile::link(u"/dev/zero"_s, path))
            qFatal("cannot link %s", qPrintable(path));
        break;
    case Setup::Socket:
        if (!syj::test::makeSocket(path))
            qFatal("cannot make a socket at %s", qPrintable(path));
        break;
    case Setup::Sparse: {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || !file.resize(size))
            qFatal("cannot size %s", qPrintable(path));
        break;
    }
    case Setup::ParentIsFile:
        if (!WriteBytes(QFileInfo(path).path(), content))
            qFatal("cannot write the parent of %s", qPrintable(path));
        break;
    }
    return path;
}

QSet<QString> Entries(const QTemporaryDir &dir)
{
    const QStringList names =
        QDir(dir.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    return QSet<QString>(names.begin(), names.end());
}

} // namespace

Q_DECLARE_METATYPE(syj::LyricEncoding)
Q_DECLARE_METATYPE(syj::LyricFileRead::Status)
Q_DECLARE_METATYPE(Setup)

class TestLyricText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decode_data();
    void decode();
    void decodeEncodings_data();
    void decodeEncodings();
    void readsAsBefore_data();
    void readsAsBefore();
    void decodeTwoByteCodes_data();
    void decodeTwoByteCodes();
    void decodeFourByteCodes_data();
    void decodeFourByteCodes();
    void decodeRandomBytes_data();
    void decodeRandomBytes();
    void splitLines_data();
    void splitLines();
    void encode_data();
    void encode();
    void roundTrip_data();
    void roundTrip();
    void encodeLines_data();
    void encodeLines();
    void lyricFileBesideTheChosen_data();
    void lyricFileBesideTheChosen();
    void fileExistsOnlyForFiles_data();
    void fileExistsOnlyForFiles();
    void readFile_data();
    void readFile();
    void writeFile_data();
    void writeFile();
    void ownReasons_data();
    void ownReasons();
    void writeRunsOutOfRoom_data();
    void writeRunsOutOfRoom();
};

void TestLyricText::decode_data()
{
    AddDecodeColumns();

    const auto gb = LyricEncoding::Gb18030;
    const auto utf8 = LyricEncoding::Utf8;
    const QString fffd = u"\uFFFD"_s;

    QTest::newRow("GBK") << kNiHaoGbk << u"你好"_s << gb << qsizetype(0);
    QTest::newRow("GBK tag line") << Ascii("[00:01.00]") + kNiHaoGbk << u"[00:01.00]你好"_s << gb
                                  << qsizetype(0);
    QTest::newRow("GBK that a loose UTF-8 check would take")
        << Hex("c1aacda8") << u"联通"_s << gb << qsizetype(0);
    QTest::newRow("UTF-8 with byte-order mark")
        << Hex("efbbbf") + u"你好"_s.toUtf8() << u"你好"_s << utf8 << qsizetype(0);
    QTest::newRow("UTF-8 without byte-order mark")
        << u"[00:01.00]你好"_s.toUtf8() << u"[00:01.00]你好"_s << utf8 << qsizetype(0);
    QTest::newRow("UTF-8 four-byte character") << kGrin.toUtf8() << kGrin << utf8 << qsizetype(0);
    QTest::newRow("byte-order mark alone") << Hex("efbbbf") << QString() << utf8 << qsizetype(0);
    QTest::newRow("second byte-order mark is text")
        << Hex("efbbbf efbbbf 41") << u"\uFEFFA"_s << utf8 << qsizetype(0);
    QTest::newRow("ASCII") << Ascii("[ti:abc]\r\n[00:01.00]x") << u"[ti:abc]\r\n[00:01.00]x"_s << gb
                           << qsizetype(0);
    QTest::newRow("nothing") << QByteArray() << QString() << gb << qsizetype(0);

    QTest::newRow("stray lead byte before a blank")
        << Hex("8120") << fffd + u" "_s << gb << qsizetype(1);
    QTest::newRow("stray lead byte between characters")
        << Hex("c4e3 8120 bac3") << u"你\uFFFD 好"_s << gb << qsizetype(1);
    QTest::newRow("0x80") << Hex("80") << fffd << gb << qsizetype(1);
    QTest::newRow("0xFF") << Hex("41ff42") << u"A\uFFFDB"_s << gb << qsizetype(1);
    QTest::newRow("lead byte then 0xFF") << Hex("81ff41") << u"\uFFFDA"_s << gb << qsizetype(1);
    QTest::newRow("lead byte then DEL") << Hex("817f") << u"\uFFFD\u007F"_s << gb << qsizetype(1);
    QTest::newRow("lead byte at the end") << Hex("4181") << u"A\uFFFD"_s << gb << qsizetype(1);
    QTest::newRow("cut four-byte sequence keeps the ASCII")
        << Hex("813041") << u"\uFFFD0A"_s << gb << qsizetype(1);
    QTest::newRow("cut four-byte sequence at the end")
        << Hex("41813081") << u"A\uFFFD0\uFFFD"_s << gb << qsizetype(2);
    QTest::newRow("several bad bytes")
        << Hex("80 80 ff") << fffd + fffd + fffd << gb << qsizetype(3);
    QTest::newRow("unmapped four-byte sequence") << Hex("8431a530") << fffd << gb << qsizetype(1);
    QTest::newRow("four-byte sequence past U+10FFFF")
        << Hex("e3329a36") << fffd << gb << qsizetype(1);
    QTest::newRow("U+FFFD written in the file") << Hex("8431a437") << fffd << gb << qsizetype(0);
    QTest::newRow("U+FFFD written and a bad byte")
        << Hex("8431a437 ff") << fffd + fffd << gb << qsizetype(1);
    QTest::newRow("NUL byte and a bad byte")
        << QByteArray("a\0\xff", 3) << u"a"_s + QChar(u'\0') + fffd << gb << qsizetype(1);
    QTest::newRow("NUL byte, U+FFFD written and a bad byte")
        << Hex("00 8431a437 80") << QChar(u'\0') + fffd + fffd << gb << qsizetype(1);
    QTest::newRow("GB18030 four-byte character") << Hex("9439fc36") << kGrin << gb << qsizetype(0);
    QTest::newRow("GB18030 byte-order mark is text")
        << Hex("84319533 41") << u"\uFEFFA"_s << gb << qsizetype(0);

    QTest::newRow("UTF-8 cut short after a byte-order mark")
        << Hex("efbbbf 41 e4") << u"A\uFFFD"_s << utf8 << qsizetype(1);
    QTest::newRow("bad byte after a byte-order mark")
        << Hex("efbbbf 41 ff 42") << u"A\uFFFDB"_s << utf8 << qsizetype(1);
    QTest::newRow("U+FFFD written in UTF-8")
        << Hex("efbbbf efbfbd") << fffd << utf8 << qsizetype(0);
    QTest::newRow("U+FFFD written in UTF-8 and a bad byte")
        << Hex("efbbbf efbfbd c0") << fffd + fffd << utf8 << qsizetype(1);
    QTest::newRow("UTF-8 surrogate is no UTF-8")
        << Hex("eda080 41") << u"\u980E\uFFFDA"_s << gb << qsizetype(1);
}

void TestLyricText::decode()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(LyricEncoding, encoding);
    QFETCH(qsizetype, invalid);

    const syj::DecodedLyricText decoded = syj::decodeLyricBytes(bytes);
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.encoding, encoding);
    QCOMPARE(decoded.invalidSequences, invalid);
}

// Which encoding a lyric file is read in, on real bytes: lyrics in each
// encoding, files too short to tell, and the files where the detector's word
// that they are Big5 is not taken.
void TestLyricText::decodeEncodings_data()
{
    AddDecodeColumns();

    const auto gb = LyricEncoding::Gb18030;
    const auto utf8 = LyricEncoding::Utf8;
    const auto big5 = LyricEncoding::Big5;
    const auto le = LyricEncoding::Utf16Le;
    const auto be = LyricEncoding::Utf16Be;
    const QString fffd = u"\uFFFD"_s;

    QTest::newRow("Big5 Cantonese lyrics")
        << Encoded("Big5-HKSCS", kCantoneseLyrics) << kCantoneseLyrics << big5 << qsizetype(0);
    QTest::newRow("Big5 lyrics") << Encoded("Big5", kTraditionalLyrics) << kTraditionalLyrics
                                 << big5 << qsizetype(0);
    const QString oneLine = u"[00:10.00]風吹過城市的街頭"_s;
    QTest::newRow("Big5 tagged line")
        << Encoded("Big5", oneLine) << oneLine << big5 << qsizetype(0);
    QTest::newRow("Big5 lyrics cut off after a lead byte")
        << Encoded("Big5", kTraditionalLyrics) + Hex("a7") << kTraditionalLyrics + fffd << big5
        << qsizetype(1);
    QTest::newRow("GBK simplified lyrics")
        << Encoded("GB18030", kSimplifiedLyrics) << kSimplifiedLyrics << gb << qsizetype(0);
    QTest::newRow("GBK traditional lyrics")
        << Encoded("GB18030", kTraditionalLyrics) << kTraditionalLyrics << gb << qsizetype(0);
    QTest::newRow("GBK Cantonese lyrics")
        << Encoded("GB18030", kCantoneseLyrics) << kCantoneseLyrics << gb << qsizetype(0);
    const QString fourByte = u"[00:01.00]"_s + kCjkExtB + kGrin + u"你好\r\n[00:02.00]€ḿ\r\n"_s;
    QTest::newRow("GB18030 four-byte characters")
        << Encoded("GB18030", fourByte) << fourByte << gb << qsizetype(0);
    QTest::newRow("UTF-8 traditional lyrics")
        << kTraditionalLyrics.toUtf8() << kTraditionalLyrics << utf8 << qsizetype(0);
    QTest::newRow("UTF-8 Cantonese lyrics with byte-order mark")
        << Hex("efbbbf") + kCantoneseLyrics.toUtf8() << kCantoneseLyrics << utf8 << qsizetype(0);

    QTest::newRow("UTF-16 LE lyrics") << Hex("fffe") + Encoded("UTF-16LE", kCantoneseLyrics)
                                      << kCantoneseLyrics << le << qsizetype(0);
    QTest::newRow("UTF-16 BE lyrics") << Hex("feff") + Encoded("UTF-16BE", kSimplifiedLyrics)
                                      << kSimplifiedLyrics << be << qsizetype(0);
    QTest::newRow("UTF-16 LE outside the BMP")
        << Hex("fffe 3dd8 00de 40d8 00dc") << kGrin + kCjkExtB << le << qsizetype(0);
    QTest::newRow("UTF-16 LE second byte-order mark is text")
        << Hex("fffe fffe 4100") << u"\uFEFFA"_s << le << qsizetype(0);
    QTest::newRow("UTF-16 LE lone high surrogate")
        << Hex("fffe 3dd8 4100") << fffd + u"A"_s << le << qsizetype(1);
    QTest::newRow("UTF-16 BE lone low surrogate")
        << Hex("feff de00 0041") << fffd + u"A"_s << be << qsizetype(1);
    QTest::newRow("UTF-16 LE surrogates in the wrong order")
        << Hex("fffe 00de 3dd8") << fffd + fffd << le << qsizetype(2);
    QTest::newRow("UTF-16 LE high surrogate at the end")
        << Hex("fffe 4100 3dd8") << u"A"_s + fffd << le << qsizetype(1);
    QTest::newRow("UTF-16 LE odd last byte")
        << Hex("fffe 4100 42") << u"A"_s + fffd << le << qsizetype(1);

    // Too little to tell: GB18030, as always.
    QTest::newRow("one character in GBK") << Hex("c4e3") << u"你"_s << gb << qsizetype(0);
    QTest::newRow("two characters in GBK") << kNiHaoGbk << u"你好"_s << gb << qsizetype(0);
    QTest::newRow("tag and two characters in GBK")
        << Ascii("[00:01.00]") + kNiHaoGbk << u"[00:01.00]你好"_s << gb << qsizetype(0);
    const QByteArray niHaoBig5 = Hex("a741 a66e"); // 你好 in Big5
    QTest::newRow("one character in Big5")
        << niHaoBig5.first(2) << Gb18030Reading(niHaoBig5.first(2)) << gb << qsizetype(0);
    QTest::newRow("two characters in Big5")
        << niHaoBig5 << Gb18030Reading(niHaoBig5) << gb << qsizetype(0);
    QTest::newRow("tag and two characters in Big5")
        << Ascii("[00:01.00]") + niHaoBig5 << Gb18030Reading(Ascii("[00:01.00]") + niHaoBig5) << gb
        << qsizetype(0);
    const QByteArray hongKongLine = Encoded("Big5-HKSCS", u"[00:16.80]我哋喺街角等咗好耐"_s);
    QTest::newRow("tagged line of mostly Hong Kong characters")
        << hongKongLine << Gb18030Reading(hongKongLine) << gb << qsizetype(0);

    // The detector says Big5, and GB18030 stays: text that GB2312 reads whole
    // (a real Big5 file of such characters is the price), and a code that Big5
    // has no character for while GB18030 has one.
    const QByteArray gb2312Big5 = Encoded(
        "Big5",
        u"[00:05.00]我的夢 還有心\r\n[00:09.00]聽風說的話\r\n[00:13.00]時間讓我們看見\r\n"_s);
    QTest::newRow("Big5 that GB2312 reads whole")
        << gb2312Big5 << Gb18030Reading(gb2312Big5) << gb << qsizetype(0);
    const QString placeNames = u"[00:01.00]在埃尔的洛什\r\n[00:02.00]埃克和埃兰\r\n"_s;
    QTest::newRow("GB2312 place names the detector takes for Big5")
        << Encoded("GB18030", placeNames) << placeNames << gb << qsizetype(0);
    const QByteArray unmapped = Encoded("Big5", kTraditionalLyrics) + Hex("8540");
    QTest::newRow("Big5 with a code it has no character for")
        << unmapped << Gb18030Reading(unmapped) << gb << qsizetype(0);
}

void TestLyricText::decodeEncodings()
{
    decode();
}

// Files as the reader took them before it knew Big5 and UTF-16: lyrics in
// GBK, whatever their characters, and UTF-8. Each still reads the same.
void TestLyricText::readsAsBefore_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<LyricEncoding>("encoding");

    const auto gb = LyricEncoding::Gb18030;
    const auto utf8 = LyricEncoding::Utf8;
    const QList<std::pair<const char *, QString>> songs{{"simplified", kSimplifiedLyrics},
                                                        {"traditional", kTraditionalLyrics},
                                                        {"Cantonese", kCantoneseLyrics}};
    for (const auto &[name, song] : songs) {
        QTest::addRow("GBK %s lyrics", name) << Encoded("GB18030", song) << song << gb;
        QTest::addRow("UTF-8 %s lyrics", name) << song.toUtf8() << song << utf8;
        // Each line alone, and the song growing line by line.
        const QStringList lines = syj::splitLyricLines(song);
        QString head;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            head += lines[i] + u"\r\n"_s;
            QTest::addRow("GBK %s line %lld", name, qlonglong(i + 1))
                << Encoded("GB18030", lines[i]) << lines[i] << gb;
            QTest::addRow("GBK %s lines 1-%lld", name, qlonglong(i + 1))
                << Encoded("GB18030", head) << head << gb;
        }
    }
    const QList<std::pair<const char *, QString>> texts{
        {"GBK punctuation", u"[00:01.00]“你好”——《歌》……、！？"_s},
        {"traditional characters beyond GB2312", u"們這說愛裡聽過嗎"_s},
        {"GBK characters with low trail bytes", u"[00:01.00]丂丄丅丆丏丒丗丟"_s},
        {"GBK characters of the Big5 lead range", u"[00:01.00]亜亞亟亠亢亣亪亯"_s},
        {"rare name characters", u"[ar:王喆 刘堃 朱镕基]"_s},
        {"GB2312 place names", u"[00:01.00]在埃尔的洛什\r\n[00:02.00]埃克和埃兰\r\n"_s},
        {"four-byte characters", u"[00:01.00]"_s + kCjkExtB + kGrin + u"\r\n"_s},
        {"user-defined area", u"\uE000\uE4C5\uE5E5"_s},
        {"联通", u"联通"_s},
        {"ASCII and one character", u"[ti:Rain]\r\n[00:01.00]la la 啦\r\n"_s},
    };
    for (const auto &[name, text] : texts)
        QTest::addRow("GBK %s", name) << Encoded("GB18030", text) << text << gb;
    QTest::newRow("UTF-8 with byte-order mark, traditional")
        << Hex("efbbbf") + kTraditionalLyrics.toUtf8() << kTraditionalLyrics << utf8;
}

void TestLyricText::readsAsBefore()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(LyricEncoding, encoding);

    const syj::DecodedLyricText decoded = syj::decodeLyricBytes(bytes);
    QCOMPARE(decoded.encoding, encoding);
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.invalidSequences, qsizetype(0));
}

void TestLyricText::decodeTwoByteCodes_data()
{
    QTest::addColumn<int>("firstLead");
    QTest::addColumn<int>("lastLead");

    QTest::newRow("81-A0") << 0x81 << 0xA0;
    QTest::newRow("A1-A9") << 0xA1 << 0xA9;
    QTest::newRow("AA-AF user area") << 0xAA << 0xAF;
    QTest::newRow("B0-F7") << 0xB0 << 0xF7;
    QTest::newRow("F8-FE user area") << 0xF8 << 0xFE;
}

void TestLyricText::decodeTwoByteCodes()
{
    QFETCH(int, firstLead);
    QFETCH(int, lastLead);

    // Every two-byte code reads as one character and is written back byte for
    // byte. A tag and one such character, or two neighbouring ones, is too
    // little to tell Big5 by: none of these short files is read as Big5 (a few
    // are UTF-8, as they always were).
    QByteArray bytes;
    qsizetype codes = 0;
    QByteArray previous;
    for (int lead = firstLead; lead <= lastLead; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            if (trail == 0x7F)
                continue;
            const char pair[] = {char(lead), char(trail)};
            const QByteArray code(pair, 2);
            bytes.append(code);
            ++codes;
            for (const QByteArray &file :
                 QByteArrayList{"[00:01.00]" + code, "[00:01.00]" + previous + code}) {
                const bool big5 = syj::decodeLyricBytes(file).encoding == LyricEncoding::Big5;
                QVERIFY2(!big5, file.toHex(' ').constData());
            }
            previous = code;
        }
    }
    const syj::DecodedLyricText decoded = syj::decodeLyricBytes(bytes);
    QCOMPARE(decoded.encoding, LyricEncoding::Gb18030);
    QCOMPARE(decoded.invalidSequences, qsizetype(0));
    QCOMPARE(syj::characterCount(decoded.text), codes);
    QVERIFY(!decoded.text.contains(QChar(QChar::ReplacementCharacter)));
    QCOMPARE(syj::encodeLyricText(decoded.text), bytes);
}

void TestLyricText::decodeFourByteCodes_data()
{
    QTest::addColumn<qint32>("first");
    QTest::addColumn<qint32>("last");
    QTest::addColumn<bool>("mapped");

    // Linear indices of four-byte codes: 81 30 81 30 is 0.
    QTest::newRow("rest of the BMP") << 0 << 39419 << true;
    QTest::newRow("past the BMP") << 39420 << 40500 << false;
    QTest::newRow("before U+10000") << 187000 << 188999 << false;
    QTest::newRow("from U+10000") << 189000 << 191000 << true;
    QTest::newRow("up to U+10FFFF") << 1235575 << 1237575 << true;
    QTest::newRow("past U+10FFFF") << 1237576 << 1239576 << false;
    QTest::newRow("last code") << 1587599 << 1587599 << false;
}

void TestLyricText::decodeFourByteCodes()
{
    QFETCH(qint32, first);
    QFETCH(qint32, last);
    QFETCH(bool, mapped);

    QByteArray bytes;
    qsizetype writtenReplacements = 0;
    for (qint32 index = first; index <= last; ++index) {
        const QByteArray code = FourByteCode(index);
        writtenReplacements += code == Hex("8431a437");
        bytes.append(code);
    }
    const qsizetype codes = last - first + 1;
    const syj::DecodedLyricText decoded = syj::decodeLyricBytes(bytes);
    QCOMPARE(decoded.encoding, LyricEncoding::Gb18030);
    // One character, or one replacement, for every four bytes.
    QCOMPARE(syj::characterCount(decoded.text), codes);
    if (mapped) {
        QCOMPARE(decoded.invalidSequences, qsizetype(0));
        QCOMPARE(decoded.text.count(QChar(QChar::ReplacementCharacter)), writtenReplacements);
        QCOMPARE(syj::encodeLyricText(decoded.text), bytes);
    } else {
        QCOMPARE(decoded.invalidSequences, codes);
        QCOMPARE(decoded.text, QString(codes, QChar(QChar::ReplacementCharacter)));
    }
}

void TestLyricText::decodeRandomBytes_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<qsizetype>("size");
    QTest::addColumn<QByteArray>("prefix");
    QTest::addColumn<LyricEncoding>("encoding");

    QTest::newRow("16 MiB") << 1u << qsizetype(syj::kMaxLyricFileBytes) << QByteArray()
                            << LyricEncoding::Gb18030;
    QTest::newRow("16 MiB after a byte-order mark")
        << 2u << qsizetype(syj::kMaxLyricFileBytes) << Hex("efbbbf") << LyricEncoding::Utf8;
    QTest::newRow("4 KiB") << 3u << qsizetype(4096) << QByteArray() << LyricEncoding::Gb18030;
    QTest::newRow("4 KiB of high bytes")
        << 4u << qsizetype(4096) << Hex("ff") << LyricEncoding::Gb18030;
}

void TestLyricText::decodeRandomBytes()
{
    QFETCH(quint32, seed);
    QFETCH(qsizetype, size);
    QFETCH(QByteArray, prefix);
    QFETCH(LyricEncoding, encoding);

    QRandomGenerator random(seed);
    QByteArray bytes = prefix;
    bytes.reserve(prefix.size() + size);
    for (qsizetype i = 0; i < size; ++i) {
        const quint32 value = random.generate();
        // Every fourth byte at or above 0x80, so most bytes are GB18030 lead bytes.
        bytes.append(char((value & 0xFF) | ((value & 0x300) == 0 ? 0x80 : 0)));
    }

    const syj::DecodedLyricText decoded = syj::decodeLyricBytes(bytes);
    QCOMPARE(decoded.encoding, encoding);
    QVERIFY(decoded.invalidSequences > 0);
    QVERIFY(decoded.invalidSequences <= bytes.size());
    QVERIFY(decoded.text.count(QChar(QChar::ReplacementCharacter)) >= decoded.invalidSequences);

    // Whatever was read, replacements included, is saved and read back
    // unchanged.
    const syj::DecodedLyricText again = syj::decodeLyricBytes(syj::encodeLyricText(decoded.text));
    QCOMPARE(again.invalidSequences, qsizetype(0));
    QCOMPARE(again.encoding, LyricEncoding::Gb18030);
    QVERIFY(again.text == decoded.text);
}

void TestLyricText::splitLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("nothing") << QString() << QStringList();
    QTest::newRow("one line, no line end") << u"a"_s << QStringList{u"a"_s};
    QTest::newRow("CR LF alone") << u"\r\n"_s << QStringList{QString()};
    QTest::newRow("CR alone") << u"\r"_s << QStringList{QString()};
    QTest::newRow("LF alone is a line") << u"\n"_s << QStringList{u"\n"_s};
    QTest::newRow("final line end brings no line")
        << u"a\r\nb\r\n"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("empty last line") << u"a\r\n\r\n"_s << QStringList{u"a"_s, QString()};
    QTest::newRow("two empty lines") << u"\r\n\r\n"_s << QStringList{QString(), QString()};
    QTest::newRow("lone LF inside a line") << u"a\nb"_s << QStringList{u"a\nb"_s};
    QTest::newRow("lone LF at the end") << u"a\nb\n"_s << QStringList{u"a\nb\n"_s};
    QTest::newRow("lone CR ends a line") << u"a\rb"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("LF after CR LF starts the next line")
        << u"a\r\n\nb"_s << QStringList{u"a"_s, u"\nb"_s};
    QTest::newRow("LF before CR LF") << u"a\n\r\nb"_s << QStringList{u"a\n"_s, u"b"_s};
    QTest::newRow("CR CR LF") << u"a\r\r\nb"_s << QStringList{u"a"_s, QString(), u"b"_s};
    QTest::newRow("LF CR") << u"a\n\rb"_s << QStringList{u"a\n"_s, u"b"_s};
    QTest::newRow("CR at the end") << u"a\rb\r"_s << QStringList{u"a"_s, u"b"_s};
    QTest::newRow("blanks kept") << u"  a  \r\n\t"_s << QStringList{u"  a  "_s, u"\t"_s};
    QTest::newRow("wide characters")
        << kGrin + u"\r\n"_s + kCjkExtB << QStringList{kGrin, kCjkExtB};

    QString many;
    QStringList manyLines;
    for (int i = 0; i < 20000; ++i) {
        const QString line = u"[%1:00.00]第%2行"_s.arg(i % 100, 2, 10, QLatin1Char('0')).arg(i);
        manyLines.append(line);
        many += line + (i % 3 == 0 ? u"\r"_s : u"\r\n"_s);
    }
    QTest::newRow("20000 lines") << many << manyLines;
}

void TestLyricText::splitLines()
{
    QFETCH(QString, text);
    QFETCH(QStringList, lines);

    QCOMPARE(syj::splitLyricLines(text), lines);
}

void TestLyricText::encode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("nothing") << QString() << QByteArray();
    QTest::newRow("ASCII") << u"[00:01.00]abc\r\n"_s << Ascii("[00:01.00]abc\r\n");
    QTest::newRow("GBK") << u"你好"_s << kNiHaoGbk;
    QTest::newRow("GBK punctuation") << u"“，”。·"_s << Hex("a1b0 a3ac a1b1 a1a3 a1a4");
    QTest::newRow("full-width blank") << u"\u3000"_s << Hex("a1a1");
    QTest::newRow("euro sign") << u"€"_s << Hex("a2e3");
    QTest::newRow("outside GBK, in the BMP") << u"\u00E0"_s << Hex("a8a4");
    QTest::newRow("emoji") << kGrin << Hex("9439fc36");
    QTest::newRow("CJK extension B") << kCjkExtB << Hex("95328236");
    QTest::newRow("U+FFFD") << u"\uFFFD"_s << Hex("8431a437");
    QTest::newRow("lone surrogate inside")
        << u"a"_s + QChar(0xD800) + u"b"_s << Hex("61 8431a437 62");
    QTest::newRow("lone high surrogate at the end") << u"a"_s + QChar(0xD83D) << Hex("61 8431a437");
    QTest::newRow("surrogates in the wrong order")
        << QString(QChar(0xDE00)) + QChar(0xD83D) + u"x"_s << Hex("8431a437 8431a437 78");
}

void TestLyricText::encode()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    QCOMPARE(syj::encodeLyricText(text), bytes);
}

void TestLyricText::roundTrip_data()
{
    QTest::addColumn<QString>("text");

    QTest::newRow("Chinese") << u"[00:01.00]你好，世界"_s;
    QTest::newRow("联通") << u"联通"_s;
    QTest::newRow("outside GBK") << kGrin + kCjkExtB + u"€ḿ\uE000\uFFFD"_s;
    QTest::newRow("line ends and tabs") << u"a\r\n\tb\nc\r"_s;
    QTest::newRow("ASCII") << u"[ti:Song]"_s;
    QTest::newRow("nothing") << QString();
}

void TestLyricText::roundTrip()
{
    QFETCH(QString, text);

    const syj::DecodedLyricText decoded = syj::decodeLyricBytes(syj::encodeLyricText(text));
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.encoding, LyricEncoding::Gb18030);
    QCOMPARE(decoded.invalidSequences, qsizetype(0));
}

void TestLyricText::encodeLines_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("three lines") << QStringList{u"[00:01.00]abc"_s, QString(), u"[00:05.50]xyz"_s}
                                 << Ascii("[00:01.00]abc\r\n\r\n[00:05.50]xyz\r\n");
    QTest::newRow("no lines") << QStringList() << QByteArray();
    QTest::newRow("one empty line") << QStringList{QString()} << Ascii("\r\n");
    QTest::newRow("two empty lines") << QStringList{QString(), QString()} << Ascii("\r\n\r\n");
    QTest::newRow("GBK line") << QStringList{u"你好"_s} << kNiHaoGbk + "\r\n";
    QTest::newRow("lone LF stays in its line")
        << QStringList{u"a\nb"_s, u"\n"_s} << Ascii("a\nb\r\n\n\r\n");
    QTest::newRow("outside GBK") << QStringList{kGrin, kCjkExtB}
                                 << Hex("9439fc36 0d0a 95328236 0d0a");
    QTest::newRow("blanks kept") << QStringList{u" a "_s, u"  "_s} << Ascii(" a \r\n  \r\n");
}

void TestLyricText::encodeLines()
{
    QFETCH(QStringList, lines);
    QFETCH(QByteArray, bytes);

    QCOMPARE(syj::encodeLyricLines(lines), bytes);
    // Lines without CR come back as they went out.
    QCOMPARE(syj::splitLyricLines(syj::decodeLyricBytes(bytes).text), lines);
}

void TestLyricText::lyricFileBesideTheChosen_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("lyricFile");

    QTest::newRow("song") << u"/a/歌.mp3"_s << u"/a/歌.lrc"_s;
    QTest::newRow("lyric file itself") << u"/a/歌.lrc"_s << u"/a/歌.lrc"_s;
    QTest::newRow("longer extension") << u"/a/歌.flac"_s << u"/a/歌..lrc"_s;
    QTest::newRow("short extension") << u"/a/歌曲.ra"_s << u"/a/歌.lrc"_s;
    QTest::newRow("upper case") << u"/a/歌.MP3"_s << u"/a/歌.lrc"_s;
    QTest::newRow("dots in folder") << u"/a.b/c.d/歌.mp3"_s << u"/a.b/c.d/歌.lrc"_s;
    QTest::newRow("no folder") << u"歌.mp3"_s << u"歌.lrc"_s;
    QTest::newRow("hidden song") << u"/a/.歌.mp3"_s << u"/a/.歌.lrc"_s;
    QTest::newRow("wide character in name")
        << u"/a/"_s + kGrin + u".mp3"_s << u"/a/"_s + kGrin + u".lrc"_s;
    QTest::newRow("wide character in extension")
        << u"/a/ab"_s + kCjkExtB + u".mp"_s << u"/a/ab.lrc"_s;
    QTest::newRow("name of four characters") << u"/a/.mp3"_s << u"/a/.lrc"_s;
    QTest::newRow("name of three characters") << u"/a/x.y"_s << u"/a/.lrc"_s;
    QTest::newRow("name of one character") << u"/a/b"_s << u"/a/.lrc"_s;
    QTest::newRow("folder only") << u"/a/"_s << u"/a/.lrc"_s;
    QTest::newRow("root") << u"/"_s << u"/.lrc"_s;
    QTest::newRow("short name, no folder") << u"ab"_s << u".lrc"_s;
    QTest::newRow("empty") << QString() << QString();
}

void TestLyricText::lyricFileBesideTheChosen()
{
    QFETCH(QString, chosen);
    QFETCH(QString, lyricFile);

    QCOMPARE(syj::lyricFileName(chosen), lyricFile);
}

void TestLyricText::fileExistsOnlyForFiles_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("exists");

    QTest::newRow("file") << Setup::File << u"a.lrc"_s << true;
    QTest::newRow("Chinese name") << Setup::File << u"歌.lrc"_s << true;
    QTest::newRow("hidden file") << Setup::File << u".a.lrc"_s << true;
    QTest::newRow("read-only file") << Setup::ReadOnlyFile << u"a.lrc"_s << true;
    QTest::newRow("link to a file") << Setup::LinkToFile << u"a.lrc"_s << true;
    QTest::newRow("named pipe takes the name") << Setup::Pipe << u"a.lrc"_s << true;
    QTest::newRow("folder") << Setup::Folder << u"a.lrc"_s << false;
    QTest::newRow("link to a folder") << Setup::LinkToFolder << u"a.lrc"_s << false;
    QTest::newRow("broken link") << Setup::BrokenLink << u"a.lrc"_s << false;
    QTest::newRow("missing") << Setup::Nothing << u"a.lrc"_s << false;
    QTest::newRow("missing folder") << Setup::Nothing << u"none/a.lrc"_s << false;
    QTest::newRow("folder is a file") << Setup::ParentIsFile << u"plain/a.lrc"_s << false;
    QTest::newRow("empty name") << Setup::Nothing << QString() << false;
}

void TestLyricText::fileExistsOnlyForFiles()
{
    QFETCH(Setup, setup);
    QFETCH(QString, name);
    QFETCH(bool, exists);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = Prepare(dir, name, setup, "[00:01.00]x\r\n");
    QCOMPARE(syj::fileExists(path), exists);
}

void TestLyricText::readFile_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<Status>("status");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<LyricEncoding>("encoding");
    QTest::addColumn<qsizetype>("invalid");

    const auto gb = LyricEncoding::Gb18030;
    const auto utf8 = LyricEncoding::Utf8;
    const qint64 limit = syj::kMaxLyricFileBytes;
    const QString name = u"歌.lrc"_s;

    QTest::newRow("missing") << Setup::Nothing << name << QByteArray() << qint64(0)
                             << Status::NotFound << QStringList() << gb << qsizetype(0);
    QTest::newRow("missing folder")
        << Setup::Nothing << u"none/a.lrc"_s << QByteArray() << qint64(0) << Status::NotFound
        << QStringList() << gb << qsizetype(0);
    QTest::newRow("empty name") << Setup::Nothing << QString() << QByteArray() << qint64(0)
                                << Status::NotFound << QStringList() << gb << qsizetype(0);
    QTest::newRow("folder is no file") << Setup::Folder << name << QByteArray() << qint64(0)
                                       << Status::NotFound << QStringList() << gb << qsizetype(0);
    QTest::newRow("broken link") << Setup::BrokenLink << name << QByteArray() << qint64(0)
                                 << Status::NotFound << QStringList() << gb << qsizetype(0);
    // Nothing here may wait for a writer of a pipe or read a device forever.
    QTest::newRow("named pipe is not read")
        << Setup::Pipe << name << QByteArray() << qint64(0) << Status::Unreadable << QStringList()
        << gb << qsizetype(0);
    QTest::newRow("link to a named pipe")
        << Setup::LinkToPipe << name << QByteArray() << qint64(0) << Status::Unreadable
        << QStringList() << gb << qsizetype(0);
    QTest::newRow("link to /dev/zero") << Setup::LinkToDevice << name << QByteArray() << qint64(0)
                                       << Status::Unreadable << QStringList() << gb << qsizetype(0);
    QTest::newRow("socket") << Setup::Socket << name << QByteArray() << qint64(0)
                            << Status::Unreadable << QStringList() << gb << qsizetype(0);
    QTest::newRow("link to a folder") << Setup::LinkToFolder << name << QByteArray() << qint64(0)
                                      << Status::NotFound << QStringList() << gb << qsizetype(0);

    QTest::newRow("one byte too large") << Setup::Sparse << name << QByteArray() << limit + 1
                                        << Status::TooLarge << QStringList() << gb << qsizetype(0);
    QTest::newRow("far too large") << Setup::Sparse << name << QByteArray() << (qint64(1) << 30)
                                   << Status::TooLarge << QStringList() << gb << qsizetype(0);
    QTest::newRow("too large text")
        << Setup::File << name << QByteArray(limit + 1, 'a') << qint64(0) << Status::TooLarge
        << QStringList() << gb << qsizetype(0);
    QTest::newRow("NUL bytes at the limit")
        << Setup::Sparse << name << QByteArray() << limit << Status::NotText << QStringList() << gb
        << qsizetype(0);

    // 16384 lines of 1022 characters and CR LF: exactly the limit.
    const QString longLine(1022, u'a');
    QTest::newRow("text at the limit")
        << Setup::File << name << QByteArray(1022, 'a').append("\r\n").repeated(16384) << qint64(0)
        << Status::Ok << QStringList(16384, longLine) << gb << qsizetype(0);

    // A lone LF ends no line: an LRC of as many lines as the sheet takes, with
    // LF line ends, is one line, and it loads.
    QString lfText;
    QByteArray lfOnly;
    for (int i = 0; i < 32767; ++i) {
        const QString tag = QStringLiteral("[%1:%2.00]")
                                .arg(i / 6000 % 100, 2, 10, QChar(u'0'))
                                .arg(i / 100 % 60, 2, 10, QChar(u'0'));
        lfText += tag + u"你好"_s.repeated(14) + u'\n';
        lfOnly += tag.toLatin1() + kNiHaoGbk.repeated(14) + '\n';
    }
    QTest::newRow("LRC of 32767 lines with LF alone")
        << Setup::File << name << lfOnly << qint64(0) << Status::Ok << QStringList{lfText} << gb
        << qsizetype(0);
    const qsizetype most = syj::kMaxLyricLineCharacters;
    const QByteArray mostA(most, 'a');
    QTest::newRow("line at the line limit")
        << Setup::File << name << Ascii("x\r\n") + mostA + "\r\ny" << qint64(0) << Status::Ok
        << QStringList{u"x"_s, QString(most, u'a'), u"y"_s} << gb << qsizetype(0);
    QTest::newRow("line one past the line limit")
        << Setup::File << name << Ascii("x\r\n") + mostA + "a\r\ny" << qint64(0)
        << Status::LineTooLong << QStringList() << gb << qsizetype(0);
    // The limit counts characters: one outside the BMP is two UTF-16 units.
    QTest::newRow("line limit in characters")
        << Setup::File << name << Hex("9439fc36").repeated(most) << qint64(0) << Status::Ok
        << QStringList{kGrin.repeated(most)} << gb << qsizetype(0);

    QTest::newRow("NUL inside a line")
        << Setup::File << name << QByteArray("[00:01.00]a\0b\r\n", 15) << qint64(0)
        << Status::NotText << QStringList() << gb << qsizetype(0);
    // UTF-16 holds a NUL byte in every ASCII character: it is read when its
    // byte-order mark tells it, and is no text without one or with U+0000.
    QTest::newRow("UTF-16") << Setup::File << name << Hex("fffe 5b00 3000 5d00 0d00 0a00")
                            << qint64(0) << Status::Ok << QStringList{u"[0]"_s}
                            << LyricEncoding::Utf16Le << qsizetype(0);
    QTest::newRow("UTF-16 BE") << Setup::File << name << Hex("feff 005b 0030 005d 000d 000a")
                               << qint64(0) << Status::Ok << QStringList{u"[0]"_s}
                               << LyricEncoding::Utf16Be << qsizetype(0);
    QTest::newRow("UTF-16 without byte-order mark")
        << Setup::File << name << Hex("5b00 3000 5d00 0d00 0a00") << qint64(0) << Status::NotText
        << QStringList() << gb << qsizetype(0);
    QTest::newRow("UTF-16 holding U+0000")
        << Setup::File << name << Hex("fffe 4100 0000 4200") << qint64(0) << Status::NotText
        << QStringList() << gb << qsizetype(0);

    QTest::newRow("empty file") << Setup::File << name << QByteArray() << qint64(0) << Status::Ok
                                << QStringList() << gb << qsizetype(0);
    QTest::newRow("GBK with CR LF")
        << Setup::File << name
        << Ascii("[ti:x]\r\n[00:01.00]") + kNiHaoGbk + Ascii("\r\n[00:02.00]\r\n") << qint64(0)
        << Status::Ok << QStringList{u"[ti:x]"_s, u"[00:01.00]你好"_s, u"[00:02.00]"_s} << gb
        << qsizetype(0);
    QTest::newRow("empty last line")
        << Setup::File << name << Ascii("a\r\n\r\n") << qint64(0) << Status::Ok
        << QStringList{u"a"_s, QString()} << gb << qsizetype(0);
    QTest::newRow("UTF-8 with byte-order mark")
        << Setup::File << name << Hex("efbbbf") + u"[00:01.00]你好\r\n"_s.toUtf8() << qint64(0)
        << Status::Ok << QStringList{u"[00:01.00]你好"_s} << utf8 << qsizetype(0);
    QTest::newRow("UTF-8 without byte-order mark")
        << Setup::File << name << u"你好\r\n世界"_s.toUtf8() << qint64(0) << Status::Ok
        << QStringList{u"你好"_s, u"世界"_s} << utf8 << qsizetype(0);
    QTest::newRow("lone LF is one line")
        << Setup::File << name << Ascii("a\nb\n") << qint64(0) << Status::Ok
        << QStringList{u"a\nb\n"_s} << gb << qsizetype(0);
    QTest::newRow("lone CR") << Setup::File << name << Ascii("a\rb\r") << qint64(0) << Status::Ok
                             << QStringList{u"a"_s, u"b"_s} << gb << qsizetype(0);
    QTest::newRow("bad bytes counted")
        << Setup::File << name << Hex("41 8120 0d0a 80") << qint64(0) << Status::Ok
        << QStringList{u"A\uFFFD "_s, u"\uFFFD"_s} << gb << qsizetype(2);
    QTest::newRow("hidden file") << Setup::File << u".a.lrc"_s << Ascii("x") << qint64(0)
                                 << Status::Ok << QStringList{u"x"_s} << gb << qsizetype(0);
    QTest::newRow("read-only file") << Setup::ReadOnlyFile << name << Ascii("x") << qint64(0)
                                    << Status::Ok << QStringList{u"x"_s} << gb << qsizetype(0);
    QTest::newRow("link to a file")
        << Setup::LinkToFile << name << Ascii("x\r\ny") << qint64(0) << Status::Ok
        << QStringList{u"x"_s, u"y"_s} << gb << qsizetype(0);
}

void TestLyricText::readFile()
{
    QFETCH(Setup, setup);
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(qint64, size);
    QFETCH(Status, status);
    QFETCH(QStringList, lines);
    QFETCH(LyricEncoding, encoding);
    QFETCH(qsizetype, invalid);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = Prepare(dir, name, setup, content, size);

    const syj::test::PipeWatchdog watchdog(path);
    const syj::LyricFileRead read = syj::readLyricFile(path);
    QVERIFY2(!watchdog.fired(), "the reader waited for a writer");
    QCOMPARE(read.status, status);
    QCOMPARE(read.lines, lines);
    QCOMPARE(read.encoding, encoding);
    QCOMPARE(read.invalidSequences, invalid);
    QCOMPARE(read.errorString.isEmpty(), status != Status::Unreadable);
}

void TestLyricText::writeFile_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QByteArray>("bytes");

    const QStringList three{u"[00:01.00]abc"_s, QString(), u"[00:05.50]xyz"_s};
    const QByteArray threeBytes = Ascii("[00:01.00]abc\r\n\r\n[00:05.50]xyz\r\n");
    const QByteArray old = Ascii("[00:09.00]old content that is longer than the new one\r\n");

    QTest::newRow("new file") << Setup::Nothing << u"歌.lrc"_s << QByteArray() << three << true
                              << threeBytes;
    QTest::newRow("no lines") << Setup::Nothing << u"歌.lrc"_s << QByteArray() << QStringList()
                              << true << QByteArray();
    QTest::newRow("one empty line") << Setup::Nothing << u"歌.lrc"_s << QByteArray()
                                    << QStringList{QString()} << true << Ascii("\r\n");
    QTest::newRow("GBK") << Setup::Nothing << u"歌.lrc"_s << QByteArray()
                         << QStringList{u"[00:01.00]你好"_s} << true
                         << Ascii("[00:01.00]") + kNiHaoGbk + "\r\n";
    QTest::newRow("outside GBK") << Setup::Nothing << u"歌.lrc"_s << QByteArray()
                                 << QStringList{kGrin + kCjkExtB} << true
                                 << Hex("9439fc36 95328236 0d0a");
    QTest::newRow("lone LF kept") << Setup::Nothing << u"歌.lrc"_s << QByteArray()
                                  << QStringList{u"a\nb"_s} << true << Ascii("a\nb\r\n");
    QTest::newRow("hidden file") << Setup::Nothing << u".a.lrc"_s << QByteArray() << three << true
                                 << threeBytes;
    QTest::newRow("longer old file leaves no tail")
        << Setup::File << u"歌.lrc"_s << old << QStringList{u"ab"_s} << true << Ascii("ab\r\n");
    QTest::newRow("old file emptied")
        << Setup::File << u"歌.lrc"_s << old << QStringList() << true << QByteArray();

    QTest::newRow("folder is a file")
        << Setup::ParentIsFile << u"plain/歌.lrc"_s << old << three << false << QByteArray();
    QTest::newRow("target is a folder")
        << Setup::Folder << u"歌.lrc"_s << QByteArray() << three << false << QByteArray();
    QTest::newRow("missing folder")
        << Setup::Nothing << u"none/歌.lrc"_s << QByteArray() << three << false << QByteArray();
    QTest::newRow("empty name") << Setup::Nothing << QString() << QByteArray() << three << false
                                << QByteArray();
}

void TestLyricText::writeFile()
{
    QFETCH(Setup, setup);
    QFETCH(QString, name);
    QFETCH(QByteArray, old);
    QFETCH(QStringList, lines);
    QFETCH(bool, ok);
    QFETCH(QByteArray, bytes);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = Prepare(dir, name, setup, old);
    QSet<QString> entries = Entries(dir);

    const syj::LyricFileWrite written = syj::writeLyricFile(path, lines);
    QCOMPARE(written.ok, ok);
    QCOMPARE(written.errorString.isEmpty(), ok);

    if (ok) {
        QCOMPARE(ReadBytes(path), bytes);
        const syj::LyricFileRead read = syj::readLyricFile(path);
        QCOMPARE(read.status, Status::Ok);
        QCOMPARE(read.lines, lines);
        entries.insert(QFileInfo(path).fileName());
    }
    switch (setup) {
    case Setup::File:
        if (!ok)
            QCOMPARE(ReadBytes(path), old);
        break;
    case Setup::ParentIsFile:
        QCOMPARE(ReadBytes(QFileInfo(path).path()), old);
        break;
    case Setup::Folder:
        QVERIFY(QFileInfo(path).isDir());
        QCOMPARE(ReadBytes(path + u"/inside.txt"_s), QByteArray("inside"));
        break;
    default:
        break;
    }
    // No half-written or temporary file is left behind.
    QCOMPARE(Entries(dir), entries);
}

// The reasons the program gives itself, not the system, appear in its Chinese
// messages ("原因：…") and are Chinese too.
void TestLyricText::ownReasons_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("write"); // else read
    QTest::addColumn<QString>("reason");

    const QString notRegular = u"这不是普通文件（可能是管道或设备）"_s;
    QTest::newRow("reading a pipe") << Setup::Pipe << u"a.lrc"_s << false << notRegular;
    QTest::newRow("reading a device") << Setup::LinkToDevice << u"a.lrc"_s << false << notRegular;
    QTest::newRow("reading a socket") << Setup::Socket << u"a.lrc"_s << false << notRegular;
    QTest::newRow("writing over a folder")
        << Setup::Folder << u"a.lrc"_s << true << u"已经有一个同名的文件夹"_s;
    QTest::newRow("writing without a name")
        << Setup::Nothing << QString() << true << u"没有文件名"_s;
}

void TestLyricText::ownReasons()
{
    QFETCH(Setup, setup);
    QFETCH(QString, name);
    QFETCH(bool, write);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = Prepare(dir, name, setup, QByteArray());
    const QString given = write ? syj::writeLyricFile(path, {u"a"_s}).errorString
                                : syj::readLyricFile(path).errorString;
    QCOMPARE(given, reason);
}

// A save that runs out of room on a nearly full disk or past the size a file
// may have: the system's reason reaches the caller, whichever write finds out
// (a small file is only written out when it is committed), and the old file
// keeps every byte.
void TestLyricText::writeRunsOutOfRoom_data()
{
    QTest::addColumn<bool>("disk"); // else a limit on the file size
    QTest::addColumn<qint64>("room");
    QTest::addColumn<qint64>("size"); // bytes of the new file
    QTest::addColumn<QString>("reason");

    const QString full = u"磁盘已满"_s;
    const QString tooBig = u"文件超出了系统允许的大小"_s;
    QTest::newRow("full disk, small file") << true << qint64(0) << qint64(1000) << full;
    QTest::newRow("full disk, large file") << true << qint64(0) << qint64(120000) << full;
    QTest::newRow("40 KiB free, large file") << true << qint64(40960) << qint64(120000) << full;
    QTest::newRow("40 KiB free, file fits") << true << qint64(40960) << qint64(30000) << QString();
    QTest::newRow("size limit, small file") << false << qint64(512) << qint64(1000) << tooBig;
    QTest::newRow("size limit, large file") << false << qint64(40960) << qint64(120000) << tooBig;
    QTest::newRow("size limit, file fits") << false << qint64(40960) << qint64(30000) << QString();
}

void TestLyricText::writeRunsOutOfRoom()
{
    QFETCH(bool, disk);
    QFETCH(qint64, room);
    QFETCH(qint64, size);
    QFETCH(QString, reason);

    syj::test::SmallDisk small(64 * 1024);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    if (disk && !small.isMounted())
        QSKIP(qPrintable(small.whyNot()));
    const QString path = disk ? small.filePath(u"歌.lrc"_s) : dir.filePath(u"歌.lrc"_s);
    const QByteArray old = QByteArray("[00:01.00]old\r\n").repeated(512);
    QVERIFY(WriteBytes(path, old));
    if (disk)
        QVERIFY(small.leaveFree(room));
    const QDir folder = QFileInfo(path).dir();
    const QStringList before = folder.entryList(QDir::AllEntries | QDir::Hidden);

    const QStringList lines{QString(size - 2, u'a')};
    std::optional<syj::test::FileSizeLimit> limit;
    if (!disk)
        limit.emplace(room);
    const syj::LyricFileWrite written = syj::writeLyricFile(path, lines);
    limit.reset();

    QCOMPARE(written.ok, reason.isEmpty());
    QVERIFY2(written.errorString.contains(reason), qPrintable(written.errorString));
    QCOMPARE(ReadBytes(path), written.ok ? syj::encodeLyricLines(lines) : old);
    QCOMPARE(folder.entryList(QDir::AllEntries | QDir::Hidden), before);
}

QTEST_GUILESS_MAIN(TestLyricText)

#include "tst_core_lyrictext.moc"
