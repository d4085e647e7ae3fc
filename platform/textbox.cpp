#include "platform/textbox.h"

#include <QCoreApplication>
#include <QDragEnterEvent>
#include <QFocusEvent>
#include <QInputMethodEvent>
#include <QMimeData>
#include <QUrl>
#include <algorithm>

namespace syj {

QEvent::Type GotFocusEvent::type()
{
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
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
