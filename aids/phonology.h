// What the aids read from one reading of one syllable: its tone, its tone
// class and its rhyme group, in Mandarin pinyin ("guang1") or Cantonese
// jyutping ("gwong1").
#pragma once

#include "aids/readingtables.h"

#include <QString>
#include <QStringView>

namespace syj::aids {

// Which rhyme groups the line ends are sorted into.
enum class RhymeSystem {
    ZhonghuaXinyun,  // 中华新韵, 14 groups, by the Mandarin final
    ShisanZhe,       // 十三辙, 13 groups, by the Mandarin final
    CantoneseFinals, // 粤语韵母: the jyutping final (nucleus and coda)
};

// The language the readings of a rhyme system are in.
Language languageOf(RhymeSystem system);
// The system's name as the window shows it: "中华新韵", "十三辙", "粤语韵母".
QString rhymeSystemName(RhymeSystem system);

// The tone of a reading: 1-4 in Mandarin and 5 for the neutral tone, 1-6 in
// Cantonese; 0 when the reading carries no tone digit.
int toneOf(QStringView reading);

// The Mandarin final of a pinyin syllable, with ju/qu/xu/yu read as ü, and
// iu/ui/un as iou/uei/uen: "zhuang3" -> "uang", "qu4" -> "ü", "liu2" -> "iou",
// "shi4" -> "-i", "er2" -> "er", "ê1" -> "ê". Syllabic m, n, ng give "".
QString mandarinFinal(QStringView pinyin);

// The jyutping final: "gwong1" -> "ong", "sik6" -> "ik", "m4" -> "m".
QString cantoneseFinal(QStringView jyutping);

// The rhyme group of a reading in a system, named as the window shows it
// ("十唐", "江阳", "ong"); empty when the reading belongs to none.
QString rhymeGroup(QStringView reading, RhymeSystem system);

// The tone class of a reading, as the window shows it:
//   Mandarin: "平" (tones 1, 2), "仄" (3, 4), "轻" (neutral);
//   Cantonese, the 0243 method: "3" (tones 1, 2), "4" (3, 5), "2" (6), "0" (4).
// Empty when the reading has no tone.
QString toneClass(QStringView reading, Language language);
// Whether two classes can be sung on the same notes. The neutral tone fits
// any; an empty class (no reading) is never a mismatch.
bool toneClassesFit(QStringView a, QStringView b);

// A reading as people write it: pinyin with its tone mark ("guāng", "lǜ",
// "de"), jyutping as it is ("gwong1").
QString displayReading(QStringView reading, Language language);

} // namespace syj::aids
