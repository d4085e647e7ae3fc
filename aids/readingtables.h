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
    // tables do not know it. Mandarin: Unihan's kMandarin first (長/长 zhang3,
    // then chang2), then the other readings of kTGHZ2013 and kHanyuPinyin.
    // Cantonese: the dictionary's unweighted reading first, then by weight,
    // readings weighed alike by how often the words read with them occur. A
    // simplified character that stands for several traditional ones has all
    // their readings, the usual ones first, the most common character's first
    // (发: 發 and 髮; 干: 乾, 幹 and 干).
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
