// Lyric text files: their names, their code page and their line ends.
//
// Lyric files are written in the Chinese Windows code page (936, GBK) through
// its superset GB18030, so every GBK file reads byte for byte and no character
// is ever lost on saving. Reading takes the first of these that fits:
//   - a UTF-16 byte-order mark (FF FE little-endian, FE FF big-endian): UTF-16;
//   - a UTF-8 byte-order mark, or valid UTF-8 with multibyte sequences: UTF-8;
//   - Big5 (with the Hong Kong characters of HKSCS) when the charset detector
//     (uchardet) says so and the bytes read in Big5 at least as cleanly as in
//     GB18030; text that GB2312 reads whole never counts as Big5;
//   - GB18030 for everything else, ASCII and short ambiguous files included.
// A byte-order mark is dropped.
//
// A line ends at CR LF or at a lone CR; a lone LF is part of the line. A line
// end at the very end of the file brings no further line; an empty last line
// (CR LF CR LF at the end) does.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace syj {

// Files larger than this are not lyric files; the reader refuses them before
// anything is changed.
inline constexpr qint64 kMaxLyricFileBytes = 16 * 1024 * 1024;

// A line longer than this many characters is no lyric line: the reader
// refuses a file with one before anything is changed. A real lyric file must
// still load when its lines end in LF alone (which ends no line here): an LRC
// of as many lines as the sheet takes (32,767) of 40 to 60 characters each is
// then one line of 1.3 to 2 million characters. The window's cost grows with
// the length of a row's text: at this limit a load takes about 1.3 s and each
// keystroke in that row about 0.75 s; one line of 15 MiB took 9 s and 5 s.
inline constexpr qsizetype kMaxLyricLineCharacters = 2'000'000;

// The encodings a lyric file is read in. Big5 is read with the Hong Kong
// extension (Big5-HKSCS), a superset of Big5.
enum class LyricEncoding { Gb18030, Utf8, Big5, Utf16Le, Utf16Be };

// A short name of the encoding for the window, such as "Big5（繁体中文）".
QString encodingDisplayName(LyricEncoding encoding);

struct DecodedLyricText {
    QString text;
    LyricEncoding encoding = LyricEncoding::Gb18030;
    // Byte sequences that stand for no character in the encoding the text was
    // read in, each shown as U+FFFD: ill-formed or unmapped sequences, a UTF-16
    // surrogate without its partner, a last byte of UTF-16 without its pair.
    qsizetype invalidSequences = 0;
};

// Decodes the bytes of a lyric file in the encoding chosen as above.
DecodedLyricText decodeLyricBytes(QByteArrayView bytes);

// Splits decoded text into lines by the line-end rule above.
QStringList splitLyricLines(QStringView text);

// Encodes text for a lyric file (GB18030: GBK bytes for every GBK character).
QByteArray encodeLyricText(QStringView text);

// The lines of a new lyric file as bytes: each line followed by CR LF.
QByteArray encodeLyricLines(const QStringList &lines);

// The lyric file that belongs to a chosen file: the chosen name without its
// last four characters, followed by ".lrc". A name of four characters or
// fewer keeps its folder and becomes ".lrc" there.
QString lyricFileName(const QString &chosen);

// False for the empty name; otherwise true when a file (hidden, read-only and
// the like included, a folder not) of that name exists.
bool fileExists(const QString &path);

struct LyricFileRead {
    enum class Status {
        Ok,
        NotFound,    // no such file, a folder, or it vanished before it could be read
        Unreadable,  // exists but cannot be opened or read, or is no regular file
                     // (a pipe, a device, a socket)
        TooLarge,    // larger than kMaxLyricFileBytes
        NotText,     // holds NUL characters (NUL bytes, or U+0000 in UTF-16):
                     // not a text lyric file
        LineTooLong, // has a line longer than kMaxLyricLineCharacters
    };
    Status status = Status::NotFound;
    QStringList lines;
    LyricEncoding encoding = LyricEncoding::Gb18030;
    qsizetype invalidSequences = 0;
    QString errorString; // the system's reason when Unreadable

    // There is a file, but it is no lyric file that can be loaded.
    bool refused() const { return status != Status::Ok && status != Status::NotFound; }
};

// Reads a whole lyric file into lines. The file is opened and closed here.
// It never waits: a named pipe, a device or a socket at the name, even one
// put there a moment before, is refused without reading from it.
LyricFileRead readLyricFile(const QString &path);

struct LyricFileWrite {
    bool ok = false;
    QString errorString; // the system's reason when not ok
};

// Writes the lines of a new lyric file atomically: the old file stays exactly
// as it was unless the whole new content was written.
LyricFileWrite writeLyricFile(const QString &path, const QStringList &lines);

} // namespace syj
