// The lyric panel as the view of the sheet model: a row's five widgets are
// made when the model inserts the row and removed when it goes, show the
// row's label and words, and write what the user types back into the model.
#include "app/form1.h"
#include "platform/classicscrollbar.h"
#include "platform/framepainter.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/sheetaids.h"
#include "sheet/sheetcommands.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolTip>
#include <utility>

using namespace Qt::StringLiterals;

namespace syj {

void Form1::createRows(const QModelIndex &, int first, int last)
{
    // A widget shown while the mouse pointer is over the window makes Qt ask
    // the window system where the pointer is, to send the widget an enter
    // event if it appeared under it: on X11 a round trip to the server for
    // each of a row's five widgets, which took most of a long load in a real
    // window. While a widget holds the mouse grab, Qt sends no such event to
    // any other widget and does not ask; a widget that was never shown holds
    // it without the window system (it has no window to grab with). Nothing
    // else sees the grab: the rows are made without handling any event. A
    // row that appears under a pointer standing still gets its enter event
    // (hover look, text cursor) when the pointer next moves, as a row does
    // that scrolls under it.
    QWidget pointerHolder;
    const bool hold = !QWidget::mouseGrabber();
    if (hold)
        pointerHolder.grabMouse();
    // Row k of the window is row k - 1 of the model.
    for (int row = first; row <= last; ++row)
        createRow(row + 1);
    if (hold)
        pointerHolder.releaseMouse();
    const int k = last + 1;
    setTwipsHeight(Picture2, twipsTop(Label1(k)) + kPanelExtraBelowRow);
    VScroll1->setMax(twipsHeight(Picture2) - kLyricAreaHeight);
    VScroll1->setValue(VScroll1->max());
    if (m_framePainter)
        m_framePainter->frame();
}

void Form1::createRow(int k)
{
    const auto place = [k](auto &array) {
        auto *w = array.load(k);
        setTwipsTop(w, twipsTop(array(k - 1)) + kRowPitch);
        return w;
    };
    // The time label stands in front of its row (and of the highlight bar). Made
    // last, it is already the front-most widget of the panel: QWidget::raise()
    // would repaint against every sibling, which on a long sheet grows with
    // every row.
    TextBox *original = place(Text1);
    TextBox *words = place(Text2);
    QPushButton *accompaniment = place(dcButton2);
    QPushButton *recording = place(dcButton5);
    QLabel *label = place(Label1);

    const LyricRow &row = m_sheet->at(k - 1);
    label->setText(row.label());
    original->showText(row.originalWords);
    if (m_accessible)
        nameRow(k);
    if (!row.newWords.isEmpty()) // a copy of the template starts empty
        words->showText(row.newWords);
    words->setMarkMargin(kAidsMarkMargin);
    for (QWidget *w : {static_cast<QWidget *>(original), static_cast<QWidget *>(words),
                       static_cast<QWidget *>(accompaniment), static_cast<QWidget *>(recording),
                       static_cast<QWidget *>(label)})
        w->show();

    // Whatever changes the new words, typing, pasting or undoing, the model
    // holds them, and they mark the sheet unsaved. (The original words can be
    // corrected in their box for the count; they are not saved.)
    LyricSheetModel *sheet = m_sheet.get();
    connect(words, &QLineEdit::textChanged, sheet,
            [sheet, k](const QString &text) { sheet->setNewWords(k - 1, text); });
    connect(accompaniment, &QPushButton::clicked, this, [this, k] { dcButton2_Click(k); });
    connect(recording, &QPushButton::clicked, this, [this, k] { dcButton5_Click(k); });
}

void Form1::nameRow(int k)
{
    // What a listener hears for each control of the row: which row it is.
    Text1(k)->setAccessibleName(u"第 %1 句 原歌词"_s.arg(k));
    Text2(k)->setAccessibleName(u"第 %1 句 新歌词"_s.arg(k));
    dcButton2(k)->setAccessibleName(u"第 %1 句：从本句播放伴奏"_s.arg(k));
    dcButton5(k)->setAccessibleName(u"第 %1 句：从本句播放原唱"_s.arg(k));
    // The aids' mark at the box's right end, in words.
    if (m_aids->row(k - 1).known && m_aids->row(k - 1).aided)
        Text2(k)->setAccessibleDescription(rowAidsDescription(k - 1) + u"；"_s +
                                           rowLineEnds(k - 1));
}

void Form1::accessibilityActiveChanged(bool active)
{
    if (active == m_accessible)
        return;
    m_accessible = active;
    if (active) {
        for (int k = 1; k <= m_sheet->count(); ++k)
            nameRow(k);
    }
}

void Form1::removeRows(const QModelIndex &, int first, int last)
{
    if (QWidget *focused = Picture2->focusWidget(); focused && focused != Picture2)
        focused->clearFocus();
    for (int k = first + 1; k <= last + 1; ++k) {
        Label1.unload(k);
        Text1.unload(k);
        Text2.unload(k);
        dcButton2.unload(k);
        dcButton5.unload(k);
    }
}

void Form1::showRowData(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                        const QList<int> &roles)
{
    if (!roles.isEmpty() && !roles.contains(LyricSheetModel::NewWordsRole))
        return;
    // Only the boxes in the window ask to be repainted, so that new lyrics put
    // into every row at once cost the window one paint.
    const QRect window = rect();
    for (int row = topLeft.row(); row <= bottomRight.row(); ++row) {
        // A box already showing the words keeps its cursor and selection.
        const QString &words = m_sheet->at(row).newWords;
        TextBox *box = Text2(row + 1);
        if (!box || box->text() == words)
            continue;
        if (QRect(box->mapTo(this, QPoint()), box->size()).intersects(window))
            box->showText(words);
        else
            box->showTextOutOfView(words);
    }
}

void Form1::onLoadingChanged(bool loading)
{
    // The three lyric-file commands wait for the load; the user sees them greyed.
    dcButton3->setEnabled(!loading);
    dcButton6->setEnabled(!loading);
    dcButton8->setEnabled(!loading);
    if (loading) {
        m_framePainter = std::make_unique<FramePainter>(this);
        return;
    }
    showLineCount(m_sheet->count());
    m_framePainter.reset();
    // The window was asked to close during the load: once the loader has
    // returned, close it, or save first as the user asked.
    switch (std::exchange(m_afterLoad, AfterLoad::Nothing)) {
    case AfterLoad::Nothing:
        break;
    case AfterLoad::Close:
        m_closeWithoutAsking = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        break;
    case AfterLoad::SaveAndClose:
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_commands->saveNewLyrics())
                    close();
            },
            Qt::QueuedConnection);
        break;
    }
}

bool Form1::eventFilter(QObject *watched, QEvent *event)
{
    // Keys, menus and tips of the rows (listening.cpp).
    if (watched == Picture2 && rowPanelEvent(event))
        return true;
    // The row boxes report receiving the focus to the panel that holds them.
    if (watched == Picture2 && event->type() == GotFocusEvent::type()) {
        QWidget *box = static_cast<GotFocusEvent *>(event)->box();
        const int k = controlIndex(box);
        if (k > 0 && box == Text1(k))
            Text1_GotFocus(k);
        else if (k > 0 && box == Text2(k))
            Text2_GotFocus(k);
        return true;
    }
    // A new-words box asks what the tooltip over its aids' mark says.
    if (watched == Picture2 && event->type() == MarkToolTipEvent::type()) {
        auto *ask = static_cast<MarkToolTipEvent *>(event);
        ask->setAccepted(showMarkToolTip(ask->box(), ask->globalPos()));
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::showNoPlayPosition(int row, Playback::Track track, const QString &tag)
{
    // Said briefly beside the button, without a modal box.
    QWidget *anchor =
        track == Playback::Track::Accompaniment ? dcButton2(row + 1) : dcButton5(row + 1);
    if (anchor && anchor->isVisible())
        QToolTip::showText(anchor->mapToGlobal(QPoint(0, anchor->height())),
                           u"这一句的时间标签“%1”不是数字，无法定位播放。"_s.arg(tag), anchor);
}

} // namespace syj
