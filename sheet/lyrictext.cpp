#include "sheet/lyrictext.h"

#include "sheet/atomicwrite.h"
#include "sheet/linerule.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringEncoder>
#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <uchardet.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

constexpr char kCodePageName[] = "GB18030";
// Big5 with the Hong Kong Supplementary Character Set: Big5 proper reads the
// same, and the characters of Cantonese lyrics (嘅, 咗, 哋, 喺, 啲, 嚟, 㗎 …)
// read as themselves instead of as private-use characters.
constexpr char kBig5Name[] = "Big5-HKSCS";
constexpr char kUtf8Bom[] = "\xEF\xBB\xBF";
constexpr char kUtf16LeBom[] = "\xFF\xFE";
constexpr char kUtf16BeBom[] = "\xFE\xFF";
// U+FFFD in UTF-8 and in GB18030.
constexpr char kUtf8Replacement[] = "\xEF\xBF\xBD";
constexpr char kGb18030Replacement[] = "\x84\x31\xA4\x37";

qsizetype countOf(QByteArrayView haystack, QByteArrayView needle)
{
    qsizetype count = 0;
    for (qsizetype at = haystack.indexOf(needle); at >= 0;
         at = haystack.indexOf(needle, at + needle.size())) {
        ++count;
    }
    return count;
}

qsizetype replacementCount(QStringView text)
{
    return text.count(QChar(QChar::ReplacementCharacter));
}

// A file descriptor, closed when this goes.
struct OpenFile {
    explicit OpenFile(int descriptor) : fd(descriptor) {}
    ~OpenFile()
    {
        if (fd >= 0)
            ::close(fd);
    }
    OpenFile(const OpenFile &) = delete;
    OpenFile &operator=(const OpenFile &) = delete;
    const int fd;
};

QString notRegularFile()
{
    return u"这不是普通文件（可能是管道或设备）"_s;
}

LyricFileRead refusedRead(LyricFileRead::Status status, const QString &reason = {})
{
    LyricFileRead read;
    read.status = status;
    read.errorString = reason;
    return read;
}

// Why a lyric file that could not be opened is not read: there is no such
// file (or it vanished), it is no regular file (a socket cannot be opened at
// all), or the system's reason.
LyricFileRead openFailed(const QByteArray &name, int code)
{
    if (code == ENOENT || code == ENOTDIR || code == ELOOP)
        return {};
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode))
        return refusedRead(LyricFileRead::Status::Unreadable, notRegularFile());
    return refusedRead(LyricFileRead::Status::Unreadable, systemReason(code));
}

// Reads the file into bytes, no more than one byte past kMaxLyricFileBytes
// however the file may have grown since its size was taken: 0, or the errno
// of the read that failed.
int readUpToLimit(int fd, qint64 size, QByteArray &bytes)
{
    bytes.reserve(std::min(size, kMaxLyricFileBytes) + 1);
    constexpr qint64 kChunk = 1 << 20;
    while (bytes.size() <= kMaxLyricFileBytes) {
        const qint64 want = std::min(kChunk, kMaxLyricFileBytes + 1 - bytes.size());
        const qsizetype before = bytes.size();
        bytes.resize(before + want);
        const ssize_t got = ::read(fd, bytes.data() + before, size_t(want));
        const int failed = got < 0 ? errno : 0;
        bytes.resize(before + std::max<ssize_t>(got, 0));
        if (failed != 0 && failed != EINTR)
            return failed;
        if (got == 0)
            break;
    }
    return 0;
}

enum class Utf8Shape { Invalid, AsciiOnly, Multibyte };

// Whether the bytes are well-formed UTF-8 (no overlong forms, no surrogates,
// nothing beyond U+10FFFF), and whether any character takes more than a byte.
Utf8Shape CheckUtf8(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const auto *const end = p + bytes.size();
    bool multibyte = false;
    while (p < end) {
        const uchar lead = *p;
        if (lead < 0x80) {
            ++p;
            continue;
        }
        qsizetype trail = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
        } else if (lead == 0xE0) {
            trail = 2;
            low = 0xA0;
        } else if (lead == 0xED) {
            trail = 2;
            high = 0x9F;
        } else if (lead >= 0xE1 && lead <= 0xEF) {
            trail = 2;
        } else if (lead == 0xF0) {
            trail = 3;
            low = 0x90;
        } else if (lead >= 0xF1 && lead <= 0xF3) {
            trail = 3;
        } else if (lead == 0xF4) {
            trail = 3;
            high = 0x8F;
        } else {
            return Utf8Shape::Invalid;
        }
        if (end - p <= trail)
            return Utf8Shape::Invalid;
        if (p[1] < low || p[1] > high)
            return Utf8Shape::Invalid;
        for (qsizetype k = 2; k <= trail; ++k) {
            if ((p[k] & 0xC0) != 0x80)
                return Utf8Shape::Invalid;
        }
        p += trail + 1;
        multibyte = true;
    }
    return multibyte ? Utf8Shape::Multibyte : Utf8Shape::AsciiOnly;
}

DecodedLyricText DecodeUtf8(QByteArrayView bytes)
{
    // Stateless: a sequence cut off at the end becomes U+FFFD instead of being
    // held back. A further byte-order mark after the one already dropped is
    // text and stays.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                     QStringDecoder::Flag::ConvertInitialBom);
    DecodedLyricText decoded;
    decoded.encoding = LyricEncoding::Utf8;
    decoded.text = decoder.decode(bytes);
    decoded.invalidSequences =
        std::max<qsizetype>(0, replacementCount(decoded.text) - countOf(bytes, kUtf8Replacement));
    return decoded;
}

struct CodeStep {
    qsizetype length; // bytes taken by this step
    bool valid;       // a character, or one ill-formed sequence
};

// How many ill-formed sequences the bytes hold, stepping through them with
// stepAt.
qsizetype illFormedCount(QByteArrayView bytes, CodeStep (*stepAt)(const uchar *, qsizetype))
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    qsizetype count = 0;
    for (qsizetype i = 0; i < size;) {
        const CodeStep step = stepAt(p + i, size - i);
        count += step.valid ? 0 : 1;
        i += step.length;
    }
    return count;
}

// One step through GB18030 bytes (remaining >= 1). An ill-formed sequence takes
// only its first byte when the bytes after it could start something of their
// own (so an ASCII letter or digit after a stray lead byte is kept), a whole
// pair when the second byte is 0xFF, and all four bytes of a four-byte form
// that stands for no character.
CodeStep Gb18030StepAt(const uchar *p, qsizetype remaining)
{
    const uchar b0 = p[0];
    if (b0 < 0x80)
        return {1, true};
    if (b0 == 0x80 || b0 == 0xFF || remaining < 2)
        return {1, false};
    const uchar b1 = p[1];
    if ((b1 >= 0x40 && b1 <= 0x7E) || (b1 >= 0x80 && b1 <= 0xFE))
        return {2, true};
    if (b1 == 0xFF)
        return {2, false};
    if (b1 < 0x30 || b1 > 0x39)
        return {1, false};
    if (remaining < 4 || p[2] < 0x81 || p[2] > 0xFE || p[3] < 0x30 || p[3] > 0x39)
        return {1, false};
    const qint32 index =
        (b0 - 0x81) * 12600 + (b1 - 0x30) * 1260 + (p[2] - 0x81) * 10 + (p[3] - 0x30);
    // 81 30 81 30 .. 84 31 A4 39 cover the rest of the BMP;
    // 90 30 81 30 .. E3 32 9A 35 cover U+10000 .. U+10FFFF.
    constexpr qint32 kLastBmp = 39419;
    constexpr qint32 kFirstSupplementary = 189000;
    constexpr qint32 kLastSupplementary = kFirstSupplementary + 0xFFFFF;
    const bool mapped =
        index <= kLastBmp || (index >= kFirstSupplementary && index <= kLastSupplementary);
    return {4, mapped};
}

DecodedLyricText DecodeGb18030(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodePageName, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid()) {
        // A Qt without the code page: read the bytes as UTF-8 rather than guess.
        return DecodeUtf8(bytes);
    }

    // Ill-formed sequences are replaced before decoding, so the decoder only
    // ever sees well-formed input and every replacement is counted here. The
    // stand-in is a NUL byte, turned into U+FFFD after decoding, when the bytes
    // hold no NUL of their own (always so for a lyric file); otherwise it is
    // U+FFFD itself in GB18030, four bytes.
    const bool nulStandsIn = !bytes.contains('\0');
    const QByteArrayView standIn =
        nulStandsIn ? QByteArrayView("\0", 1) : QByteArrayView(kGb18030Replacement);
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    QByteArray repaired;
    bool repairing = false;
    qsizetype copiedUpTo = 0;
    qsizetype invalid = 0;
    qsizetype encodedReplacements = 0;
    for (qsizetype i = 0; i < size;) {
        const CodeStep step = Gb18030StepAt(p + i, size - i);
        if (!step.valid) {
            if (!repairing) {
                repairing = true;
                repaired.reserve(size + 64);
            }
            repaired.append(bytes.sliced(copiedUpTo, i - copiedUpTo));
            repaired.append(standIn);
            copiedUpTo = i + step.length;
            ++invalid;
        } else if (step.length == 4 && bytes.sliced(i, 4) == QByteArrayView(kGb18030Replacement)) {
            ++encodedReplacements;
        }
        i += step.length;
    }
    if (repairing)
        repaired.append(bytes.sliced(copiedUpTo));

    DecodedLyricText decoded;
    decoded.encoding = LyricEncoding::Gb18030;
    decoded.text = decoder.decode(repairing ? QByteArrayView(repaired) : bytes);
    if (repairing && nulStandsIn)
        decoded.text.replace(QChar(u'\0'), QChar(QChar::ReplacementCharacter));
    decoded.invalidSequences = invalid;
    if (decoder.hasError()) {
        // The decoder knew a sequence as unmapped that the scan above took for
        // a character: count what it replaced as well.
        decoded.invalidSequences =
            std::max(invalid, replacementCount(decoded.text) - encodedReplacements);
    }
    return decoded;
}

// The UTF-16 encoding whose byte-order mark the bytes start with.
std::optional<LyricEncoding> Utf16ByteOrder(QByteArrayView bytes)
{
    if (bytes.startsWith(QByteArrayView(kUtf16LeBom)))
        return LyricEncoding::Utf16Le;
    if (bytes.startsWith(QByteArrayView(kUtf16BeBom)))
        return LyricEncoding::Utf16Be;
    return std::nullopt;
}

// Reads UTF-16 code units (the byte-order mark already dropped). A surrogate
// without its partner and a last byte without its pair each become U+FFFD;
// every other unit, U+0000 included, is kept as it is.
DecodedLyricText DecodeUtf16(QByteArrayView bytes, LyricEncoding encoding)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype units = bytes.size() / 2;
    const bool oddByte = bytes.size() % 2 != 0;
    const bool little = encoding == LyricEncoding::Utf16Le;
    const auto unitAt = [p, little](qsizetype i) {
        const unsigned first = p[2 * i];
        const unsigned second = p[2 * i + 1];
        return char16_t(little ? first | second << 8 : first << 8 | second);
    };

    DecodedLyricText decoded;
    decoded.encoding = encoding;
    // Every unit, and the odd byte, becomes one unit of the text.
    decoded.text.resize(units + (oddByte ? 1 : 0));
    QChar *out = decoded.text.data();
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t unit = unitAt(i);
        if (QChar::isHighSurrogate(unit) && i + 1 < units && QChar::isLowSurrogate(unitAt(i + 1))) {
            *out++ = QChar(unit);
            *out++ = QChar(unitAt(++i));
        } else if (QChar::isSurrogate(unit)) {
            *out++ = QChar(QChar::ReplacementCharacter);
            ++decoded.invalidSequences;
        } else {
            *out++ = QChar(unit);
        }
    }
    if (oddByte) {
        *out = QChar(QChar::ReplacementCharacter);
        ++decoded.invalidSequences;
    }
    return decoded;
}

bool IsBig5Trail(uchar b)
{
    return (b >= 0x40 && b <= 0x7E) || (b >= 0xA1 && b <= 0xFE);
}

// One step through Big5 bytes (remaining >= 1): an ASCII byte, a lead byte
// with its trail byte, or one ill-formed byte; the byte after it may start a
// character of its own, as it does for the decoder.
CodeStep Big5StepAt(const uchar *p, qsizetype remaining)
{
    if (p[0] < 0x80)
        return {1, true};
    if (p[0] == 0x80 || p[0] == 0xFF || remaining < 2 || !IsBig5Trail(p[1]))
        return {1, false};
    return {2, true};
}

// A two-byte code with a lead byte up to 0xA0 belongs to the Hong Kong
// extension; Big5 proper starts at 0xA1.
bool isHkscsLead(uchar lead)
{
    return lead <= 0xA0;
}

struct Big5Shape {
    qsizetype illFormed = 0;
    bool beyondGb2312 = false; // a two-byte code that GB2312 does not have
    bool hkscs = false;        // a code of the Hong Kong extension
};

Big5Shape Big5ShapeOf(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    Big5Shape shape;
    for (qsizetype i = 0; i < size;) {
        const CodeStep step = Big5StepAt(p + i, size - i);
        if (!step.valid) {
            ++shape.illFormed;
        } else if (step.length == 2) {
            // GB2312 codes are 0xA1..0xF7 followed by 0xA1..0xFE.
            shape.beyondGb2312 |= p[i] < 0xA1 || p[i] > 0xF7 || p[i + 1] < 0xA1;
            shape.hkscs |= isHkscsLead(p[i]);
        }
        i += step.length;
    }
    return shape;
}

// The bytes without their codes of the Hong Kong extension. The detector
// knows Big5 proper only, and a single such code makes it rule Big5 out.
QByteArray withoutHkscsCodes(QByteArrayView bytes)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    QByteArray kept;
    kept.reserve(size);
    for (qsizetype i = 0; i < size;) {
        const CodeStep step = Big5StepAt(p + i, size - i);
        if (!(step.valid && step.length == 2 && isHkscsLead(p[i])))
            kept.append(bytes.sliced(i, step.length));
        i += step.length;
    }
    return kept;
}

// Whether uchardet takes the bytes for Big5. It names one charset for the
// whole text, or none when it cannot tell.
bool DetectorSaysBig5(QByteArrayView bytes)
{
    const std::unique_ptr<uchardet, decltype(&uchardet_delete)> detector(uchardet_new(),
                                                                         uchardet_delete);
    if (!detector || uchardet_handle_data(detector.get(), bytes.data(), size_t(bytes.size())) != 0)
        return false;
    uchardet_data_end(detector.get());
    const char *charset = uchardet_get_charset(detector.get());
    return charset != nullptr && qstricmp(charset, "BIG5") == 0;
}

// Decodes Big5 bytes: the runs between ill-formed bytes go through the
// decoder, and each ill-formed byte becomes U+FFFD, as does each code the
// decoder knows no character for (Big5 has no code for U+FFFD itself).
DecodedLyricText DecodeBig5(QByteArrayView bytes, QStringDecoder &decoder)
{
    const auto *p = reinterpret_cast<const uchar *>(bytes.data());
    const qsizetype size = bytes.size();
    DecodedLyricText decoded;
    decoded.encoding = LyricEncoding::Big5;
    qsizetype runStart = 0;
    const auto decodeRun = [&](qsizetype end) {
        if (end == runStart)
            return;
        const QString run = decoder.decode(bytes.sliced(runStart, end - runStart));
        decoded.invalidSequences += replacementCount(run);
        decoded.text += run;
    };
    for (qsizetype i = 0; i < size;) {
        const CodeStep step = Big5StepAt(p + i, size - i);
        if (!step.valid) {
            decodeRun(i);
            decoded.text += QChar(QChar::ReplacementCharacter);
            ++decoded.invalidSequences;
            runStart = i + step.length;
        }
        i += step.length;
    }
    decodeRun(size);
    return decoded;
}

// The bytes read as Big5 when they are Big5 (they are no UTF-8):
//   - some two-byte code in them is no GB2312 code: text that GB2312 reads
//     whole is simplified Chinese, as it always was;
//   - uchardet says Big5; it is asked about the bytes without their Hong Kong
//     characters, which it does not know;
//   - Big5 reads them with no more ill-formed or unmapped sequences than
//     GB18030 does.
// The first and the last only ever keep GB18030: Big5 is never chosen
// without the detector.
std::optional<DecodedLyricText> DecodeIfBig5(QByteArrayView bytes)
{
    QStringDecoder decoder(kBig5Name, QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    const Big5Shape shape = Big5ShapeOf(bytes);
    if (!shape.beyondGb2312)
        return std::nullopt;
    // Counted only when Big5 finds something ill-formed: most GBK text with
    // characters beyond GB2312 is ill-formed Big5 and needs no detector.
    std::optional<qsizetype> gbIllFormed;
    const auto gbReadsBetter = [&](qsizetype big5Invalid) {
        if (big5Invalid == 0)
            return false;
        if (!gbIllFormed)
            gbIllFormed = illFormedCount(bytes, Gb18030StepAt);
        return big5Invalid > *gbIllFormed;
    };
    if (gbReadsBetter(shape.illFormed))
        return std::nullopt;
    if (!DetectorSaysBig5(shape.hkscs ? QByteArrayView(withoutHkscsCodes(bytes)) : bytes))
        return std::nullopt;
    DecodedLyricText decoded = DecodeBig5(bytes, decoder);
    if (gbReadsBetter(decoded.invalidSequences))
        return std::nullopt;
    return decoded;
}

} // namespace

QString encodingDisplayName(LyricEncoding encoding)
{
    switch (encoding) {
    case LyricEncoding::Gb18030:
        return u"GBK/GB18030（简体中文）"_s;
    case LyricEncoding::Utf8:
        return u"UTF-8"_s;
    case LyricEncoding::Big5:
        return u"Big5（繁体中文）"_s;
    case LyricEncoding::Utf16Le:
        return u"UTF-16 LE"_s;
    case LyricEncoding::Utf16Be:
        return u"UTF-16 BE"_s;
    }
    return {};
}

DecodedLyricText decodeLyricBytes(QByteArrayView bytes)
{
    if (const std::optional<LyricEncoding> utf16 = Utf16ByteOrder(bytes))
        return DecodeUtf16(bytes.sliced(2), *utf16);
    if (bytes.startsWith(QByteArrayView(kUtf8Bom)))
        return DecodeUtf8(bytes.sliced(3));
    switch (CheckUtf8(bytes)) {
    case Utf8Shape::Multibyte:
        return DecodeUtf8(bytes);
    case Utf8Shape::AsciiOnly:
        break;
    case Utf8Shape::Invalid:
        if (std::optional<DecodedLyricText> big5 = DecodeIfBig5(bytes))
            return std::move(*big5);
        break;
    }
    return DecodeGb18030(bytes);
}

QStringList splitLyricLines(QStringView text)
{
    QStringList lines;
    const qsizetype size = text.size();
    qsizetype start = 0;
    for (qsizetype cr = text.indexOf(u'\r'); cr >= 0; cr = text.indexOf(u'\r', start)) {
        lines.append(text.sliced(start, cr - start).toString());
        start = cr + 1;
        if (start < size && text[start] == u'\n')
            ++start;
    }
    if (start < size)
        lines.append(text.sliced(start).toString());
    return lines;
}

QByteArray encodeLyricText(QStringView text)
{
    // A lone surrogate stands for no character; it is written as U+FFFD so
    // that nothing after it is held back or garbled.
    QString repaired;
    const bool hasSurrogates =
        std::any_of(text.begin(), text.end(), [](QChar c) { return c.isSurrogate(); });
    if (hasSurrogates) {
        repaired.reserve(text.size());
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text[i];
            if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
                repaired.append(c);
                repaired.append(text[++i]);
            } else if (c.isSurrogate()) {
                repaired.append(QChar(QChar::ReplacementCharacter));
            } else {
                repaired.append(c);
            }
        }
        text = repaired;
    }

    QStringEncoder encoder(kCodePageName, QStringEncoder::Flag::Stateless);
    if (!encoder.isValid())
        return text.toUtf8();
    QByteArray bytes = encoder.encode(text);
    return bytes;
}

QByteArray encodeLyricLines(const QStringList &lines)
{
    qsizetype length = 0;
    for (const QString &line : lines)
        length += line.size() + 2;
    QString text;
    text.reserve(length);
    for (const QString &line : lines) {
        text.append(line);
        text.append(u"\r\n");
    }
    return encodeLyricText(text);
}

QString lyricFileName(const QString &chosen)
{
    if (chosen.isEmpty())
        return {};
    // Only the name is shortened, never its folder.
    const qsizetype nameStart = chosen.lastIndexOf(u'/') + 1;
    const QString name = chosen.mid(nameStart);
    const qsizetype kept = std::max<qsizetype>(0, characterCount(name) - 4);
    const qsizetype keptUnits = name.size() - charactersFrom(name, kept).size();
    return chosen.left(nameStart + keptUnits) + u".lrc"_s;
}

bool fileExists(const QString &path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && !info.isDir();
}

LyricFileRead readLyricFile(const QString &path)
{
    if (path.isEmpty())
        return {};
    // Everything is decided on the opened file, so that nothing put at the
    // name after a look at it can slip through: opening does not wait for a
    // writer of a named pipe (O_NONBLOCK), and whatever is no regular file is
    // refused before a byte of it is read.
    const QByteArray name = QFile::encodeName(path);
    const OpenFile file(::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (file.fd < 0)
        return openFailed(name, errno);
    struct stat st {};
    if (::fstat(file.fd, &st) != 0)
        return refusedRead(LyricFileRead::Status::Unreadable, systemReason(errno));
    // A folder is no lyric file: it counts as no file at all, as in fileExists.
    if (S_ISDIR(st.st_mode))
        return {};
    if (!S_ISREG(st.st_mode))
        return refusedRead(LyricFileRead::Status::Unreadable, notRegularFile());
    if (st.st_size > kMaxLyricFileBytes)
        return refusedRead(LyricFileRead::Status::TooLarge);

    QByteArray bytes;
    if (const int failed = readUpToLimit(file.fd, st.st_size, bytes))
        return refusedRead(LyricFileRead::Status::Unreadable, systemReason(failed));
    if (bytes.size() > kMaxLyricFileBytes)
        return refusedRead(LyricFileRead::Status::TooLarge);
    // In UTF-16 every ASCII character holds a NUL byte: there a NUL character
    // is what makes a file no text.
    const bool utf16 = Utf16ByteOrder(bytes).has_value();
    if (!utf16 && bytes.contains('\0'))
        return refusedRead(LyricFileRead::Status::NotText);

    DecodedLyricText decoded = decodeLyricBytes(bytes);
    if (utf16 && decoded.text.contains(QChar(u'\0')))
        return refusedRead(LyricFileRead::Status::NotText);
    QStringList lines = splitLyricLines(decoded.text);
    const auto overlong = [](const QString &line) {
        return line.size() > kMaxLyricLineCharacters &&
               characterCount(line) > kMaxLyricLineCharacters;
    };
    if (std::any_of(lines.cbegin(), lines.cend(), overlong))
        return refusedRead(LyricFileRead::Status::LineTooLong);
    LyricFileRead result;
    result.status = LyricFileRead::Status::Ok;
    result.lines = std::move(lines);
    result.encoding = decoded.encoding;
    result.invalidSequences = decoded.invalidSequences;
    return result;
}

LyricFileWrite writeLyricFile(const QString &path, const QStringList &lines)
{
    LyricFileWrite result;
    const std::optional<QString> failed = writeFileAtomically(path, encodeLyricLines(lines));
    result.ok = !failed;
    result.errorString = failed.value_or(QString());
    return result;
}

} // namespace syj
