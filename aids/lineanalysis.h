// One line read for the aids, and the verdicts that compare lines: the fit of
// the sung syllables, the rhyme of the line ends across the sheet, and the
// tone classes of the syllables sung on the same notes.
#pragma once

#include "aids/phonology.h"
#include "aids/syllables.h"

#include <QList>
#include <QMap>
#include <QStringList>

namespace syj::aids {

// The reading the writer chose for a syllable of a line, by the syllable's
// place in the line (from 0). A choice that is not one of the syllable's
// readings (the words have changed since) is not used.
using ReadingPicks = QMap<int, QString>;

struct LineReading {
    QList<Syllable> syllables;
    // Every reading of each syllable, the usual first; none for a word of
    // letters or a Hangul syllable. A digit is read as its Han numeral. A word
    // of the word list puts its reading first (成长: zhang3 before chang2).
    QList<QStringList> readings;
    // How many of each syllable's readings count (the modern standard ones,
    // the word's reading among them); the others are rare, only to pick.
    QList<qsizetype> counted;
    // Per syllable: a modal particle's light reading (了 le5, 着 zhe5, 啊 a5),
    // empty for any other syllable and for a particle a word reads otherwise.
    QStringList particleReadings;
    // The syllable the line rhymes on when nothing is picked (endWith()).
    qsizetype lineEnd = -1;

    // The readings of syllable i that decide fits and rhymes: the one picked,
    // or the counted ones.
    QStringList readingsAt(qsizetype i, const ReadingPicks &picks) const;
    // Whether reading `r` of syllable i is rare: one of its readings that do
    // not count.
    bool isRare(qsizetype i, const QString &r) const;
    // The syllable the line rhymes on: the last sung one, or the one before
    // trailing modal particles (了, 吧, 啊, 呢 ...) read lightly; a particle
    // picked (了 liao3, 着 zhuo2) or read by its word (明了) otherwise is the
    // end. -1 for a line that sings nothing.
    qsizetype endWith(const ReadingPicks &picks) const;
};

LineReading readLine(QStringView words, Language language);

// Whether a character is a modal particle that the rhyme passes over at the
// end of a line.
bool isModalParticle(QStringView character);

// How far apart the new line's count and the original's are: the fit mark.
enum class Fit { Equal, OneOff, FurtherOff };
Fit fitOf(qsizetype newCount, qsizetype originalCount);

// The rhyme groups a line end can be in, the usual reading's first (no
// duplicates); empty when the line has no end or its end no group.
QStringList endGroups(const LineReading &line, const ReadingPicks &picks, RhymeSystem system);

// The line ends of one row: the groups of its original and of its new line.
struct RowEnds {
    QStringList original;
    QStringList newWords;
};

// Rows whose original lines end in the same group (the usual reading's) form
// a rhyme set, when there are two or more of them. The new lines of a set
// should rhyme with each other: the set's rhyme for the new words is the group
// most of its new lines end in (a tie goes to the original's group if it is
// among the tied, else to the earliest new line's). A new line whose end can
// be read in that group keeps the rhyme; one that cannot leaves it.
enum class RhymeVerdict {
    NoSet, // the original line is in no rhyme set
    Empty, // the new line sings nothing yet
    Keeps,
    Leaves,
};
struct RhymeJudgement {
    QList<RhymeVerdict> verdicts; // one per row
    QStringList setRhyme;         // per row: its set's rhyme for the new words, or empty
};
RhymeJudgement judgeRhymes(const QList<RowEnds> &rows);

// The tone classes each syllable can have, one list per syllable, duplicates
// removed.
QList<QStringList> toneClasses(const LineReading &line, const ReadingPicks &picks,
                               Language language);
// Per syllable of the new line: true where none of its classes fits any class
// of the original's syllable on the same place.
QList<bool> toneMismatches(const QList<QStringList> &original, const QList<QStringList> &newWords);

} // namespace syj::aids
