#include "app/rowmarks.h"

#include "app/aidswindow.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"

using namespace Qt::StringLiterals;

namespace syj {

namespace {

const QColor kFits(27, 122, 27);
const QColor kOneOff(176, 104, 0);
const QColor kFurtherOff(198, 40, 40);
const QColor kQuiet(122, 122, 122);

// The short name of a rhyme group as the mark shows it: 中华新韵's groups by
// their character ("十唐" -> "唐"), the others whole.
QString shortGroup(const QString &group, aids::RhymeSystem system)
{
    if (system != aids::RhymeSystem::ZhonghuaXinyun)
        return group;
    qsizetype i = 0;
    while (i + 1 < group.size() && QStringView(u"一二三四五六七八九十").contains(group[i]))
        ++i;
    return group.mid(i);
}

} // namespace

TextBox::Mark rowMark(const LyricSheetModel &sheet, const SheetAids &aids, int row)
{
    TextBox::Mark mark;
    const SheetAids::Row &r = aids.row(row);
    if (!r.known || !r.aided || (r.originalCount == 0 && r.newCount == 0))
        return mark;
    mark.first = u"%1/%2"_s.arg(r.newCount).arg(r.originalCount);
    switch (aids.fit(row)) {
    case aids::Fit::Equal:
        mark.firstColor = kFits;
        break;
    case aids::Fit::OneOff:
        mark.firstColor = kOneOff;
        break;
    case aids::Fit::FurtherOff:
        mark.firstColor = kFurtherOff;
        break;
    }
    const QString own = r.ends.newWords.value(0);
    const aids::RhymeSystem system = sheet.rhymeSystem();
    switch (r.verdict) {
    case aids::RhymeVerdict::Keeps:
        mark.second = shortGroup(r.setRhyme, system);
        mark.secondColor = kFits;
        break;
    case aids::RhymeVerdict::Leaves:
        mark.second = shortGroup(own, system);
        mark.secondColor = kFurtherOff;
        mark.secondUnderlined = true;
        break;
    case aids::RhymeVerdict::Empty:
        // The rhyme to aim for: the set's, or the original's while the set has no new line.
        mark.second =
            shortGroup(r.setRhyme.isEmpty() ? r.ends.original.value(0) : r.setRhyme, system);
        mark.secondColor = kQuiet;
        break;
    case aids::RhymeVerdict::NoSet:
        mark.second = shortGroup(own, system);
        mark.secondColor = kQuiet;
        break;
    }
    return mark;
}

QString rowAidsDescription(const SheetAids &aids, int row)
{
    const SheetAids::Row &r = aids.row(row);
    if (!r.known || !r.aided)
        return {};
    QString text = u"字数 %1/%2"_s.arg(r.newCount).arg(r.originalCount);
    switch (r.verdict) {
    case aids::RhymeVerdict::Keeps:
        text += u"，韵脚 %1，押本组的韵"_s.arg(r.setRhyme);
        break;
    case aids::RhymeVerdict::Leaves:
        text += u"，韵脚 %1，离开了本组的韵 %2"_s.arg(r.ends.newWords.value(0), r.setRhyme);
        break;
    case aids::RhymeVerdict::Empty:
        if (!r.setRhyme.isEmpty() || !r.ends.original.isEmpty())
            text += u"，本组的韵 %1"_s.arg(r.setRhyme.isEmpty() ? r.ends.original.value(0)
                                                                : r.setRhyme);
        break;
    case aids::RhymeVerdict::NoSet:
        if (!r.ends.newWords.isEmpty())
            text += u"，韵脚 %1"_s.arg(r.ends.newWords.value(0));
        break;
    }
    return text;
}

QString rowLineEnds(const LyricSheetModel &sheet, const SheetAids &aids, int row)
{
    const LyricRow &rowData = sheet.at(row);
    const aids::RhymeSystem system = sheet.rhymeSystem();
    return u"原词句尾 %1，新词句尾 %2"_s.arg(
        AidsWindow::lineEndText(aids.readOriginal(row), rowData.originalPicks, system),
        AidsWindow::lineEndText(aids.readNewWords(row), rowData.newPicks, system));
}

} // namespace syj
