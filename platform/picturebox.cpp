#include "platform/picturebox.h"

#include <QPaintEvent>
#include <QPainter>

namespace syj {

PictureBox::PictureBox(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, true);
}

void PictureBox::paintEvent(QPaintEvent *event)
{
    QPainter p(this);
    const QRect dirty = event->rect();
    if (m_stretch && !m_picture.isNull()) {
        // Scaling on every paint would redo the whole picture for each small
        // repaint, such as a label over it changing its number.
        const QSize target = size() * devicePixelRatio();
        if (m_scaled.size() != target) {
            m_scaled = m_picture.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            m_scaled.setDevicePixelRatio(devicePixelRatio());
        }
        p.drawPixmap(dirty.topLeft(), m_scaled,
                     QRectF(QPointF(dirty.topLeft()) * devicePixelRatio(),
                            QSizeF(dirty.size()) * devicePixelRatio()));
        return;
    }
    p.fillRect(dirty, m_backColor.isValid() ? m_backColor : palette().color(QPalette::Window));
    if (!m_picture.isNull()) {
        const QRect pic = dirty.intersected(QRect(QPoint(0, 0), m_picture.size()));
        if (!pic.isEmpty())
            p.drawPixmap(pic.topLeft(), m_picture, pic);
    }
}

Shape::Shape(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
}

void Shape::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.fillRect(rect(), m_fill);
}

} // namespace syj
