// libFuzzer target over everything that reads lyric text: the bytes-to-lines
// reader in every encoding it tells (GB18030, Big5, UTF-8, UTF-16), the
// timed-line rule, tag seconds and the sheet model's rows.
//
// Besides "no crash, no sanitizer report" it checks the invariants the sheet
// relies on: every invalid sequence counted is shown as U+FFFD, a split line
// puts itself back together, a timed label is ten characters, tag seconds are
// finite, a row holds its line whole, and what the program writes it reads
// back.
#include "sheet/linerule.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/lyrictext.h"

#include <QStringDecoder>
#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace syj;

namespace {

void check(bool ok)
{
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const DecodedLyricText decoded = decodeLyricBytes(bytes);
    check(decoded.invalidSequences >= 0 && decoded.invalidSequences <= bytes.size());
    check(decoded.text.count(QChar(QChar::ReplacementCharacter)) >= decoded.invalidSequences);
    check(!encodingDisplayName(decoded.encoding).isEmpty());
    const QStringList lines = splitLyricLines(decoded.text);

    for (const QString &line : lines) {
        check(!line.contains(u'\r'));
        const bool timed = isTimedLine(line);
        const LyricLineParts parts = splitLyricLine(line);
        if (timed) {
            check(characterCount(parts.label) == kTagLength);
            check(parts.label + parts.words == line);
            if (const std::optional<double> s = tagSeconds(parts.label))
                check(std::isfinite(*s) && std::fabs(*s) < 100 * 60 + 100);
        } else {
            check(parts.label == QString::fromUtf16(kInfoLabel));
            check(parts.words == line);
        }
        check(characterCount(line) <= line.size());
    }

    // Each row holds its line whole; words typed as the original words are
    // saved as the lines themselves, info lines that look timed aside.
    LyricSheetModel sheet;
    const qsizetype leftOut = sheet.loadOriginal(lines);
    check(sheet.count() + leftOut == lines.size());
    for (int i = 0; i < sheet.count(); ++i) {
        const LyricRow &row = sheet.at(i);
        check(row.isTimed() == isTimedLine(lines[i]));
        check(row.tag + row.originalWords == lines[i]);
        sheet.setNewWords(i, row.originalWords);
        check(sheet.at(i).lineToSave() == lines[i]);
    }

    // What a save writes comes back line for line through the code page.
    const QByteArray written = encodeLyricLines(lines);
    QStringDecoder gb18030("GB18030");
    const QString reread = gb18030.decode(written);
    check(!gb18030.hasError());
    check(splitLyricLines(reread) == lines);
    return 0;
}
