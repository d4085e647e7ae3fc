// Sung syllables: what a singer sings one note for. The fit of a new line is
// its count of sung syllables against the original line's.
//
//   - word-time tags <mm:ss.xx> inside a line are not sung;
//   - a Han character is one syllable (〇 and 々 too), a Hangul syllable one,
//     a kana one;
//   - a word of letters (letters, marks and digits, apostrophes inside it;
//     "la-la-la" is three words) is sung in its syllables: the CMU
//     dictionary's count (baby 2, everybody 4), else its groups of vowels;
//     2-5 capitals the dictionary does not know are sung letter by letter
//     (KTV 3, W 3); a word with other letters than a-z is one;
//   - a number: a four-digit year, one before 年, one with a leading zero is
//     sung digit by digit (one Digit syllable each); any other is said as a
//     Chinese amount, one Han syllable per numeral (100 一百, 3.14 三点一四,
//     50% 百分之五十);
//   - not sung: a role label at the start (男：, 女:, 合:), stage notes in
//     brackets ((合), （Repeat）, [Chorus]), repeat marks (x2, ×3), blanks,
//     punctuation, symbols and emoji.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace syj::aids {

struct Syllable {
    enum class Kind { Han, Hangul, Kana, Word, Digit };
    Kind kind = Kind::Han;
    // The character(s) sung; each syllable of a word of several has the whole word.
    QString text;
};

QList<Syllable> sungSyllables(QStringView line);

} // namespace syj::aids
