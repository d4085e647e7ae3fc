#include "platform/classicscrollbar.h"

#include <QScrollBar>
#include <QSignalBlocker>
#include <algorithm>
#include <limits>

namespace syj {

// The inner QScrollBar always runs forwards from 0 (top) to |max - min|
// (bottom); the classic value is min + direction * barValue. So arrows, trough,
// keys and wheel behave the same whichever way the classic range runs.

ClassicScrollBar::ClassicScrollBar(QWidget *parent)
    : QWidget(parent), m_bar(new QScrollBar(Qt::Vertical, this))
{
    m_bar->setTracking(false);
    m_bar->setSingleStep(500);
    m_bar->setPageStep(800);
    m_bar->setFocusPolicy(Qt::StrongFocus); // a tab stop; QScrollBar takes no focus by default
    // The inner bar is the tab stop, in the window's order; the frame around it is none.
    setFocusPolicy(Qt::NoFocus);
    applyRange(m_value);
    connect(m_bar, &QScrollBar::valueChanged, this, &ClassicScrollBar::onBarValueChanged);
}

int ClassicScrollBar::smallChange() const
{
    return m_bar->singleStep();
}
int ClassicScrollBar::largeChange() const
{
    return m_bar->pageStep();
}
void ClassicScrollBar::setSmallChange(int step)
{
    m_bar->setSingleStep(step);
}
void ClassicScrollBar::setLargeChange(int step)
{
    m_bar->setPageStep(step);
}

int ClassicScrollBar::toBar(int value) const
{
    const qint64 span = (static_cast<qint64>(value) - m_min) * direction();
    return static_cast<int>(std::clamp<qint64>(span, 0, std::numeric_limits<int>::max()));
}

int ClassicScrollBar::fromBar(int barValue) const
{
    return static_cast<int>(static_cast<qint64>(m_min) +
                            static_cast<qint64>(direction()) * barValue);
}

void ClassicScrollBar::setMin(int min)
{
    m_min = min;
    applyRange(m_value);
}

void ClassicScrollBar::setMax(int max)
{
    m_max = max;
    applyRange(m_value);
}

void ClassicScrollBar::setValue(int value)
{
    applyRange(value);
}

void ClassicScrollBar::applyRange(int newValue)
{
    const int lo = std::min(m_min, m_max);
    const int hi = std::max(m_min, m_max);
    newValue = std::clamp(newValue, lo, hi);
    const qint64 span = static_cast<qint64>(hi) - lo;
    {
        const QSignalBlocker block(m_bar);
        m_bar->setRange(0,
                        static_cast<int>(std::min<qint64>(span, std::numeric_limits<int>::max())));
        m_bar->setValue(toBar(newValue));
    }
    if (newValue != m_value) {
        m_value = newValue;
        Q_EMIT Change();
    }
}

void ClassicScrollBar::onBarValueChanged(int barValue)
{
    const int v = fromBar(barValue);
    if (v == m_value)
        return;
    m_value = v;
    Q_EMIT Change();
}

void ClassicScrollBar::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    m_bar->setGeometry(rect());
}

} // namespace syj
