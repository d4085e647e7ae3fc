// A panel that paints a back colour and, over it, a picture at its natural
// size from its top-left corner (the picture moves with the panel). Optionally
// the picture is stretched to the whole widget instead.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QWidget>

namespace syj {

class PictureBox : public QWidget
{
    Q_OBJECT
public:
    explicit PictureBox(QWidget *parent = nullptr);

    void setPicture(const QPixmap &picture)
    {
        m_picture = picture;
        m_scaled = QPixmap();
        update();
    }
    const QPixmap &picture() const { return m_picture; }
    void setBackColor(const QColor &color)
    {
        m_backColor = color;
        update();
    }
    QColor backColor() const { return m_backColor; }
    void setStretch(bool stretch)
    {
        m_stretch = stretch;
        m_scaled = QPixmap();
        update();
    }
    bool stretch() const { return m_stretch; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QPixmap m_picture;
    QPixmap m_scaled; // the stretched picture, made once per widget size
    QColor m_backColor;
    bool m_stretch = false;
};

// A filled rectangle shape (no focus, no events of its own).
class Shape : public QWidget
{
    Q_OBJECT
public:
    explicit Shape(QWidget *parent = nullptr);
    void setFillColor(const QColor &c)
    {
        m_fill = c;
        update();
    }
    QColor fillColor() const { return m_fill; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_fill = Qt::gray;
};

} // namespace syj
