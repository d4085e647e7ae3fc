// Small helpers for tests that click into Qt's own widgets.
#pragma once

#include <QRect>
#include <QStyle>

class QScrollBar;

namespace syj::test {

// Where a part of a Qt scroll bar (arrow, thumb, trough) is, in its own coordinates.
QRect scrollBarPart(const QScrollBar *bar, QStyle::SubControl part);

} // namespace syj::test
