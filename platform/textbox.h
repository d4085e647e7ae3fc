// A single-line text box that reports receiving the focus.
//
// The report goes to the box's container as a GotFocusEvent, so that one
// event filter on the container hears every box in it. A sheet has tens of
// thousands of row boxes, and a signal connection or an event filter on each
// box would cost memory with every row.
#pragma once

#include <QColor>
#include <QEvent>
#include <QLineEdit>
#include <QPointer>

namespace syj {

class GotFocusEvent : public QEvent
{
public:
    explicit GotFocusEvent(QWidget *box) : QEvent(type()), m_box(box) {}
    static QEvent::Type type();
    // The box that received the focus.
    QWidget *box() const { return m_box; }

private:
    QPointer<QWidget> m_box;
};

// A box asks its container what the tooltip over its mark says: the words
// are made only when someone asks (a sheet has tens of thousands of boxes).
class MarkToolTipEvent : public QEvent
{
public:
    MarkToolTipEvent(QWidget *box, const QPoint &globalPos)
        : QEvent(type()), m_box(box), m_globalPos(globalPos)
    {
        setAccepted(false);
    }
    static QEvent::Type type();
    QWidget *box() const { return m_box; }
    QPoint globalPos() const { return m_globalPos; }

private:
    QWidget *m_box;
    QPoint m_globalPos;
};

class TextBox : public QLineEdit
{
    Q_OBJECT
public:
    using QLineEdit::QLineEdit;

    // Sets the text and shows it from its first character, as a freshly
    // filled box should: QLineEdit leaves the cursor at the end, which scrolls
    // a long line to its last characters.
    void showText(const QString &text);

    // The same for a box that lies outside the window's visible area,
    // without asking for a repaint: it is painted when it comes into view.
    // Qt keeps every box that asked for a repaint in a list, and handles each
    // entry by looking at all of the box's siblings; on a sheet of 10,000 rows
    // filling every box that way took seconds to paint once.
    void showTextOutOfView(const QString &text);

    // A short mark at the box's right end, in a margin the text never enters
    // (the writing aids' fit and rhyme of a row). Two parts side by side,
    // each with its colour; the second may be underlined. An empty mark
    // leaves the margin blank. `inView` as for showText(): a box outside
    // the window is not asked to repaint.
    struct Mark {
        QString first;
        QColor firstColor;
        QString second;
        QColor secondColor;
        bool secondUnderlined = false;
        bool operator==(const Mark &) const = default;
    };
    void setMark(const Mark &mark, bool inView = true);
    const Mark &mark() const { return m_mark; }
    // Keeps `pixels` at the box's right end for the mark.
    void setMarkMargin(int pixels);
    // Whether an input method is composing in the box: it shows text not yet
    // committed, and keys such as Enter are the input method's.
    bool isComposing() const { return m_composing; }

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    // The focus coming back from the box's own right-click menu is no new focus.
    void focusInEvent(QFocusEvent *event) override;
    // Files dragged from a file manager are for the window the box is in
    // (which may open them), not text to insert: the box lets them pass.
    void dragEnterEvent(QDragEnterEvent *event) override;

private:
    Mark m_mark;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    bool m_composing = false;
};

} // namespace syj
