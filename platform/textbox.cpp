#include "platform/textbox.h"

#include <QCoreApplication>
#include <QFocusEvent>

namespace syj {

QEvent::Type GotFocusEvent::type()
{
    static const auto registered = static_cast<QEvent::Type>(QEvent::registerEventType());
    return registered;
}

void TextBox::focusInEvent(QFocusEvent *event)
{
    QLineEdit::focusInEvent(event);
    if (event->reason() == Qt::PopupFocusReason || !parentWidget())
        return;
    GotFocusEvent report(this);
    QCoreApplication::sendEvent(parentWidget(), &report);
}

} // namespace syj
