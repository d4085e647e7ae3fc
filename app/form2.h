// Form2, the author window: one picture under the title "作者". A click inside
// closes it. It is not owned by the main window and does not block it.
#pragma once

#include <QPixmap>
#include <QWidget>

namespace syj {

class Form2 : public QWidget
{
    Q_OBJECT
public:
    Form2();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    void Form_Click();

    QPixmap m_picture;
};

} // namespace syj
