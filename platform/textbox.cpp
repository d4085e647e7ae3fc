#include "platform/textbox.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFocusEvent>
#include <QHelpEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QPainter>
#include <QUrl>
#include <algorithm>

namespace syj {

QEvent::Type GotFocusEvent::type()
{
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

QEvent::Type MarkToolTipEvent::type()
{
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

bool TextBox::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && parentWidget() && !m_mark.first.isEmpty() &&
        toolTip().isEmpty()) {
        const auto *help = static_cast<QHelpEvent *>(event);
        MarkToolTipEvent ask(this, help->globalPos());
        QCoreApplication::sendEvent(parentWidget(), &ask);
        if (ask.isAccepted())
            return true;
    }
    return QLineEdit::event(event);
}

void TextBox::showText(const QString &text)
{
    setText(text);
    setCursorPosition(0);
}

void TextBox::showTextOutOfView(const QString &text)
{
    // setUpdatesEnabled() would ask for the repaint as it enables them again;
    // the attribute alone only keeps update() from listing the box.
    const bool wasDisabled = testAttribute(Qt::WA_UpdatesDisabled);
    setAttribute(Qt::WA_UpdatesDisabled, true);
    showText(text);
    setAttribute(Qt::WA_UpdatesDisabled, wasDisabled);
}

void TextBox::setMark(const Mark &mark, bool inView)
{
    if (mark == m_mark)
        return;
    m_mark = mark;
    if (inView)
        update();
}

void TextBox::setMarkMargin(int pixels)
{
    const QMargins m = textMargins();
    if (m.right() != pixels)
        setTextMargins(m.left(), m.top(), pixels, m.bottom());
}

void TextBox::paintEvent(QPaintEvent *event)
{
    QLineEdit::paintEvent(event);
    const int margin = textMargins().right();
    if (margin <= 0 || (m_mark.first.isEmpty() && m_mark.second.isEmpty()))
        return;
    QPainter p(this);
    // The window's sans-serif face: the Song face is too thin to read at this size.
    QFont small = font();
    small.setFamilies({});
    small.setPointSizeF(9);
    p.setFont(small);
    // Right-aligned, within the frame, the second part last.
    const QRect area = rect().adjusted(0, 1, -3, -1);
    const QFontMetrics fm(small);
    int right = area.right();
    if (!m_mark.second.isEmpty()) {
        QFont underlined = small;
        underlined.setUnderline(m_mark.secondUnderlined);
        p.setFont(underlined);
        p.setPen(m_mark.secondColor);
        const int w = fm.horizontalAdvance(m_mark.second);
        p.drawText(QRect(right - w, area.top(), w, area.height()),
                   Qt::AlignRight | Qt::AlignVCenter, m_mark.second);
        right -= w + fm.horizontalAdvance(u' ');
        p.setFont(small);
    }
    p.setPen(m_mark.firstColor);
    p.drawText(
        QRect(area.right() - margin, area.top(), right - (area.right() - margin), area.height()),
        Qt::AlignRight | Qt::AlignVCenter, m_mark.first);
}

void TextBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::PopupFocusReason || !parentWidget())
        return;
    GotFocusEvent report(this);
    QCoreApplication::sendEvent(parentWidget(), &report);
}

void TextBox::dragEnterEvent(QDragEnterEvent *event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (std::any_of(urls.cbegin(), urls.cend(),
                    [](const QUrl &url) { return url.isLocalFile(); })) {
        event->ignore();
        return;
    }
    QLineEdit::dragEnterEvent(event);
}

} // namespace syj

namespace syj {

void TextBox::inputMethodEvent(QInputMethodEvent *event)
{
    m_composing = !event->preeditString().isEmpty();
    QLineEdit::inputMethodEvent(event);
}

} // namespace syj
