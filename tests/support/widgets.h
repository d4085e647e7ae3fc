// Small helpers for tests that drive Qt's own widgets.
#pragma once

#include <QElapsedTimer>
#include <QRect>
#include <QStyle>
#include <QTest>

class QLineEdit;
class QScrollBar;
class QWidget;

namespace syj::test {

// Where a part of a Qt scroll bar (arrow, thumb, trough) is, in its own coordinates.
QRect scrollBarPart(const QScrollBar *bar, QStyle::SubControl part);

// Types text into a line edit as an input method commits it: the edit's
// textEdited signal fires, as it does for the user's typing.
void typeText(QLineEdit *edit, const QString &text);

// The title a window shows in its title bar ("声韵笺*" for a window marked
// modified under the title "声韵笺[*]").
QString shownTitle(QWidget *window);

// Runs the event loop until done() holds or the time is up; false on time-out.
// (QTest::qWaitFor() sleeps between its looks, and the players' messages then
// trickle in: loading takes some 700 ms instead of 20. QTest::qWait() runs a
// proper event loop.)
template <typename Predicate> bool waitFor(Predicate done, int timeoutMs = 5000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

} // namespace syj::test
