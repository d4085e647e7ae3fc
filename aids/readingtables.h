// The reading tables of the writing aids: how each Han character is read in
// Mandarin (pinyin) and Cantonese (jyutping), and the words whose characters
// are read differently from their usual readings. The tables are generated
// from Unihan, rime-data-pinyin-simp and the jyut6ping3 dictionary by
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

    // Every reading of the character `ch`, the usual one first and the
    // readings that count (see countedReadings()) before the rare ones; none
    // when the tables do not know it.
    //   Mandarin: the toneless syllable typed most often for the character
    //             first (rime-data-pinyin-simp: 长 chang2 before zhang3, 地 di4
    //             before de5); in one syllable the 2013 standard dictionary's
    //             readings, kMandarin's first, unless the hand-checked order in
    //             aids/data/mandarin-order.txt says otherwise (尽 jin4, 曲 qu3).
    //   Cantonese: the dictionary's unweighted reading first, then by weight,
    //             readings weighed alike by how many words are read with them.
    //             A character the dictionary has as its own keeps its own
    //             readings first (台 toi4, 里 lei5); the simplified form of
    //             several traditional ones has all their readings, the usual
    //             ones first, the most common character's first (发: 發, 髮).
    //   Mandarin: lowercase pinyin with the tone as a digit 1-4, 5 for the
    //             neutral tone, and ü written as ü: "zhang3", "lü4", "de5".
    //   Cantonese: jyutping as the dictionary writes it: "coeng4", "sik6".
    // Simplified and traditional characters both find their readings.
    QStringList characterReadings(char32_t ch, Language language) const;

    // How many of characterReadings() count: the modern standard readings
    // (Mandarin: kTGHZ2013's, or kMandarin's where it has none; Cantonese:
    // the dictionary's unweighted ones and those weighed 5% or more). The
    // rest are rare (分 ban4, 方 pang2, 家 gu1): offered to pick, never
    // deciding a fit or a rhyme. At least 1 for a known character, 0 else.
    qsizetype countedReadings(char32_t ch, Language language) const;

    // The word of the language's word list that starts at `from` in `text`
    // and is read differently from its characters' usual readings, the
    // longest one (Mandarin 成长 zhang3, 头发 fa4; Cantonese 銀行 hong4): one
    // reading per character of the word (its length in characters is the
    // list's size); empty when no such word starts there. `text` may hold
    // characters other than Han characters; a word never spans them.
    QStringList wordReadings(QStringView text, qsizetype from, Language language) const;

    // How many syllables the CMU Pronouncing Dictionary gives the English word
    // `word` (lowercase a-z, apostrophes left out), where the vowel-group rule
    // of sungSyllables() gets it wrong, or the word has two to five letters;
    // 0 for any other word.
    int englishSyllables(QStringView word) const;

private:
    ReadingTables();
    struct Data;
    const Data *m_data;
};

} // namespace syj::aids
