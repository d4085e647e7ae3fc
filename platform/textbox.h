// A single-line text box that reports receiving the focus.
//
// The report goes to the box's container as a GotFocusEvent, so that one
// event filter on the container hears every box in it. A sheet has tens of
// thousands of row boxes, and a signal connection or an event filter on each
// box would cost memory with every row.
#pragma once

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

    // Whether an input method is composing in the box: it shows text not yet
    // committed, and keys such as Enter are the input method's.
    bool isComposing() const { return m_composing; }

protected:
    // The focus coming back from the box's own right-click menu is no new focus.
    void focusInEvent(QFocusEvent *event) override;
    // Files dragged from a file manager are for the window the box is in
    // (which may open them), not text to insert: the box lets them pass.
    void dragEnterEvent(QDragEnterEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    bool m_composing = false;
};

} // namespace syj
