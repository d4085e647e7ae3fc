// What the writing aids say of one row, on the row itself: the mark at the
// right end of its new-words box (how its sung syllables fit the original's,
// "new/original", and the rhyme group its line ends in), and the same in
// words for the box's tooltip and a screen reader.
#pragma once

#include "platform/textbox.h"

#include <QString>

namespace syj {

class LyricSheetModel;
class SheetAids;

TextBox::Mark rowMark(const LyricSheetModel &sheet, const SheetAids &aids, int row);
// "字数 7/8，韵脚 十唐，押本组的韵"; empty for a row without aids.
QString rowAidsDescription(const SheetAids &aids, int row);
// "原词句尾 光 guāng〔十唐〕，新词句尾 ……"
QString rowLineEnds(const LyricSheetModel &sheet, const SheetAids &aids, int row);

} // namespace syj
