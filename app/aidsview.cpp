// The writing aids on the window: each row's new-words box shows at its right
// end how its sung syllables fit the original's ("new/original") and the rhyme
// group its line ends in; the aids window shows the current row in full.
#include "app/aidswindow.h"
#include "app/form1.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"

#include <QApplication>
#include <QScreen>
#include <QToolTip>
#include <numeric>
#include <optional>

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

TextBox::Mark Form1::rowMark(int row) const
{
    TextBox::Mark mark;
    const SheetAids::Row &r = m_aids->row(row);
    if (!r.known || !r.aided || (r.originalCount == 0 && r.newCount == 0))
        return mark;
    mark.first = u"%1/%2"_s.arg(r.newCount).arg(r.originalCount);
    switch (m_aids->fit(row)) {
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
    const aids::RhymeSystem system = m_sheet->rhymeSystem();
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

QString Form1::rowAidsDescription(int row) const
{
    const SheetAids::Row &r = m_aids->row(row);
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

QString Form1::rowLineEnds(int row) const
{
    const LyricRow &rowData = m_sheet->at(row);
    const aids::RhymeSystem system = m_sheet->rhymeSystem();
    return u"原词句尾 %1，新词句尾 %2"_s.arg(
        AidsWindow::lineEndText(m_aids->readOriginal(row), rowData.originalPicks, system),
        AidsWindow::lineEndText(m_aids->readNewWords(row), rowData.newPicks, system));
}

bool Form1::showMarkToolTip(QWidget *box, const QPoint &globalPos)
{
    const int k = controlIndex(box);
    if (k <= 0 || box != Text2(k) || !m_aids->row(k - 1).known || !m_aids->row(k - 1).aided)
        return false;
    QToolTip::showText(globalPos, rowAidsDescription(k - 1) + u"\n"_s + rowLineEnds(k - 1), box);
    return true;
}

void Form1::showRowAids(const QList<int> &rows)
{
    const QRect window = rect();
    for (int row : rows) {
        TextBox *box = Text2(row + 1);
        if (!box)
            continue;
        const bool inView = QRect(box->mapTo(this, QPoint()), box->size()).intersects(window);
        box->setMark(rowMark(row), inView);
        if (m_accessible)
            box->setAccessibleDescription(rowAidsDescription(row) + u"；"_s + rowLineEnds(row));
    }
}

void Form1::showAllRowAids()
{
    QList<int> rows(m_sheet->count());
    std::iota(rows.begin(), rows.end(), 0);
    showRowAids(rows);
}

AidsWindow *Form1::aidsWindow() const
{
    return m_aidsWindow;
}

std::optional<QPoint> Form1::placeForAidsWindow() const
{
    // Beside the main window, then below or above it, wherever the screen has
    // room for the whole aids window without covering the main window.
    const QRect frame = frameGeometry();
    const QRect screen = this->screen() ? this->screen()->availableGeometry() : QRect();
    const QSize size = m_aidsWindow->frameGeometry().size();
    const int gap = 8;
    for (const QPoint at : {QPoint(frame.right() + gap, frame.top()),
                            QPoint(frame.left() - gap - size.width(), frame.top()),
                            QPoint(frame.left(), frame.bottom() + gap),
                            QPoint(frame.left(), frame.top() - gap - size.height())}) {
        if (screen.contains(QRect(at, size)))
            return at;
    }
    return std::nullopt;
}

bool Form1::showAidsWindow(bool onlyWhereItFits)
{
    if (!m_aidsWindow) {
        m_aidsWindow = new AidsWindow(*m_sheet, *m_aids, this);
    }
    if (!m_aidsWindow->isVisible()) {
        const std::optional<QPoint> at = placeForAidsWindow();
        if (!at && onlyWhereItFits)
            return false;
        if (at)
            m_aidsWindow->move(*at);
    }
    m_aidsWindow->showRow(m_currentRow - 1);
    // The aids window is a window to look at while typing: showing it leaves
    // the focus in the box being typed in.
    QWidget *focused = QApplication::focusWidget();
    m_aidsWindow->show();
    if (focused && focused->window() == this && QApplication::focusWidget() != focused) {
        activateWindow();
        focused->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

void Form1::toggleAidsWindow()
{
    if (m_aidsWindow && m_aidsWindow->isVisible())
        m_aidsWindow->hide();
    else
        showAidsWindow();
}

} // namespace syj
