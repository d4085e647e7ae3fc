// A vertical scroll bar with the classic semantics the lyric panel relies on:
//
// - minimum and maximum are free 32-bit values; the maximum may lie below the
//   minimum, and then the bar runs backwards: its top end still stands for the
//   minimum and its bottom end for the maximum;
// - Change() is emitted for every change of the value, whoever makes it (the
//   user, the program, or a new range that moves the value);
// - while the thumb is dragged nothing changes: the value lands on release;
// - an arrow click moves by smallChange, a click into the trough by largeChange.
#pragma once

#include <QWidget>

class QScrollBar;

namespace syj {

class ClassicScrollBar : public QWidget
{
    Q_OBJECT
public:
    explicit ClassicScrollBar(QWidget *parent = nullptr);

    int min() const { return m_min; }
    int max() const { return m_max; }
    int value() const { return m_value; }
    int smallChange() const;
    int largeChange() const;

    void setMin(int min);
    void setMax(int max);
    void setValue(int value);
    void setSmallChange(int step);
    void setLargeChange(int step);

    // The Qt scroll bar inside, for tests and for forwarding wheel events.
    QScrollBar *bar() const { return m_bar; }

Q_SIGNALS:
    void Change();

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void applyRange(int newValue);
    void onBarValueChanged(int barValue);
    int direction() const { return m_max >= m_min ? 1 : -1; }
    int toBar(int value) const;
    int fromBar(int barValue) const;

    QScrollBar *m_bar;
    int m_min = 0;
    int m_max = 100;
    int m_value = 0;
};

} // namespace syj
