// The reading tables of the writing aids: how each Han character is read in
// Mandarin (pinyin) and Cantonese (jyutping), and the Cantonese words whose
// characters are read differently from their usual readings. The tables are
// generated from Unihan and the jyut6ping3 dictionary by
// scripts/make-reading-tables.py, checked in under aids/data/, and compiled
// into the program; they are opened on first use, not at start-up.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace syj::aids {

enum class Language { Mandarin, Cantonese };

class ReadingTables
{
public:
    // The tables, opened the first time they are asked for.
    static const ReadingTables &instance();
    // Whether instance() has opened them already (the benchmark times the first use).
    static bool opened();

    // Every reading of the character `ch`, the usual one first, none when the
    // tables do not know it.
    //   Mandarin: lowercase pinyin with the tone as a digit 1-4, 5 for the
    //             neutral tone, and ü written as ü: "zhang3", "lü4", "de5".
    //   Cantonese: jyutping as the dictionary writes it: "coeng4", "sik6".
    // Simplified and traditional characters both find their readings.
    QStringList characterReadings(char32_t ch, Language language) const;

    // The Cantonese word of the word list that starts at `from` in `text` and
    // is read differently from its characters' usual readings, the longest
    // one: one reading per character of the word (its length in characters
    // is the list's size); empty when no such word starts there. `text` may
    // hold characters other than Han characters; a word never spans them.
    QStringList wordReadings(QStringView text, qsizetype from, Language language) const;

private:
    ReadingTables();
    struct Data;
    const Data *m_data;
};

} // namespace syj::aids
