// Scrolling the lyric panel and tracking the row that has the focus.
#include "app/aidswindow.h"
#include "app/form1.h"
#include "platform/classicscrollbar.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "sheet/linerule.h"
#include "sheet/recovery.h"

#include <QLabel>
#include <QLineEdit>

namespace syj {

void Form1::VScroll1_Change()
{
    setTwipsTop(Picture2, -VScroll1->value());
}

void Form1::Text1_GotFocus(int Index)
{
    Text2_GotFocus(Index);
}

void Form1::Text2_GotFocus(int Index)
{
    markCurrentRow(Index);
}

void Form1::markCurrentRow(int k)
{
    // The count is of the row's original words as their box holds them now,
    // whichever of the row's boxes has the focus; the bar reaches 120 twips
    // above and below the row.
    QLineEdit *original = Text1(k);
    if (!original)
        return;
    m_currentRow = k;
    if (m_aidsWindow && m_aidsWindow->isVisible())
        m_aidsWindow->showRow(k - 1);
    showCharacterCount(characterCount(original->text()));
    // The focus moved to a row: what was typed in the last one is kept now.
    if (m_recovery)
        m_recovery->writeIfDue();
    setTwipsTop(Shape1, twipsTop(original) - kHighlightAboveRow);
}

} // namespace syj
