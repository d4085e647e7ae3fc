#include "platform/controlarray.h"

#include <QPushButton>

namespace syj {

int controlIndex(const QObject *w)
{
    const QVariant v = w ? w->property(kControlIndexProperty) : QVariant();
    return v.isValid() ? v.toInt() : -1;
}

void copyWidgetProperties(const QWidget &from, QWidget &to)
{
    placeTwips(&to, twipsGeometry(&from));
    to.setFont(from.font());
    to.setPalette(from.palette());
    to.setAutoFillBackground(from.autoFillBackground());
    to.setBackgroundRole(from.backgroundRole());
    to.setForegroundRole(from.foregroundRole());
    to.setFocusPolicy(from.focusPolicy());
    to.setEnabled(from.isEnabled());
    to.setObjectName(from.objectName());
    to.setContextMenuPolicy(from.contextMenuPolicy());
    // The rest only when the template set it: each costs a style pass per copy.
    if (!from.toolTip().isEmpty())
        to.setToolTip(from.toolTip());
    if (from.testAttribute(Qt::WA_SetCursor))
        to.setCursor(from.cursor());
    if (!from.styleSheet().isEmpty())
        to.setStyleSheet(from.styleSheet());
}

void copyWidgetProperties(const QLabel &from, QLabel &to)
{
    copyWidgetProperties(static_cast<const QWidget &>(from), static_cast<QWidget &>(to));
    to.setTextFormat(from.textFormat());
    to.setAlignment(from.alignment());
    to.setFrameStyle(from.frameStyle());
    to.setMargin(from.margin());
    to.setIndent(from.indent());
    to.setWordWrap(from.wordWrap());
    to.setText(from.text());
}

void copyWidgetProperties(const QLineEdit &from, QLineEdit &to)
{
    copyWidgetProperties(static_cast<const QWidget &>(from), static_cast<QWidget &>(to));
    to.setMaxLength(from.maxLength());
    to.setFrame(from.hasFrame());
    to.setAlignment(from.alignment());
    to.setReadOnly(from.isReadOnly());
    to.setEchoMode(from.echoMode());
    to.setTextMargins(from.textMargins());
    to.setClearButtonEnabled(from.isClearButtonEnabled());
    to.setText(from.text());
}

void copyWidgetProperties(const QAbstractButton &from, QAbstractButton &to)
{
    copyWidgetProperties(static_cast<const QWidget &>(from), static_cast<QWidget &>(to));
    to.setText(from.text());
    to.setIcon(from.icon());
    to.setIconSize(from.iconSize());
    to.setCheckable(from.isCheckable());
    if (auto *push = qobject_cast<QPushButton *>(&to))
        push->setAutoDefault(false);
}

} // namespace syj
