#include "app/form2.h"

#include "app/form1.h"
#include "app/resources.h"
#include "platform/twips.h"

#include <QMouseEvent>
#include <QPainter>

using namespace Qt::StringLiterals;

namespace syj {

Form2::Form2()
{
    initResources();
    setObjectName(u"Form2"_s);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(u"作者"_s);
    setWindowIcon(QIcon(QPixmap(u":/pictures/icon.ico"_s)));
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFixedSize(twipsToPixels(9555), twipsToPixels(7140));
    m_picture.load(u":/pictures/author.jpg"_s);
}

void Form2::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_picture);
}

void Form2::mousePressEvent(QMouseEvent *event)
{
    // The first press of a double click already closes the window.
    if (event->button() == Qt::LeftButton)
        Form_Click();
}

void Form2::Form_Click()
{
    close();
}

} // namespace syj
