#include "support/widgets.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QWindow>

namespace syj::test {

QRect scrollBarPart(const QScrollBar *bar, QStyle::SubControl part)
{
    QStyleOptionSlider opt;
    opt.initFrom(bar);
    opt.subControls = QStyle::SC_All;
    opt.activeSubControls = QStyle::SC_None;
    opt.orientation = bar->orientation();
    opt.minimum = bar->minimum();
    opt.maximum = bar->maximum();
    opt.sliderPosition = bar->sliderPosition();
    opt.sliderValue = bar->value();
    opt.singleStep = bar->singleStep();
    opt.pageStep = bar->pageStep();
    opt.upsideDown = bar->invertedAppearance();
    return bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, part, bar);
}

QString shownTitle(QWidget *window)
{
    window->winId(); // the platform window carries the title as shown
    return window->windowHandle()->title();
}

void typeText(QLineEdit *edit, const QString &text)
{
    QInputMethodEvent commit;
    commit.setCommitString(text);
    QApplication::sendEvent(edit, &commit);
}

} // namespace syj::test
