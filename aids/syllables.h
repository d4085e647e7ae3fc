// Sung syllables: what a singer sings one note for. The fit of a new line is
// its count of sung syllables against the original line's.
//
//   - word-time tags <mm:ss.xx> inside a line are not sung;
//   - a Han character is one syllable (〇 and 々 too), a Hangul syllable one,
//     a kana one;
//   - a word of letters is one: a run of letters, marks and digits, with
//     apostrophes inside it ("don't" is one, "la-la-la" three);
//   - a number written in digits is sung digit by digit: one per digit;
//   - blanks, punctuation, symbols and emoji are not sung.
#pragma once

#include <QList>
#include <QString>
#include <QStringView>

namespace syj::aids {

struct Syllable {
    enum class Kind { Han, Hangul, Kana, Word, Digit };
    Kind kind = Kind::Han;
    QString text; // the character(s) sung
};

QList<Syllable> sungSyllables(QStringView line);

} // namespace syj::aids
