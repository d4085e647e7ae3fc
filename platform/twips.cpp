#include "platform/twips.h"

#include <QVariant>
#include <QWidget>
#include <cmath>

namespace syj {

namespace {
constexpr char kTwipsProperty[] = "syjTwips";
}

int twipsToPixels(int twips)
{
    // Round half away from zero so that negative tops mirror positive ones.
    const double px = static_cast<double>(twips) / kTwipsPerPixel;
    return static_cast<int>(std::lround(px));
}

QRect twipsGeometry(const QWidget *w)
{
    const QVariant v = w->property(kTwipsProperty);
    if (v.isValid())
        return v.toRect();
    const QRect px = w->geometry();
    return {px.x() * kTwipsPerPixel, px.y() * kTwipsPerPixel, px.width() * kTwipsPerPixel,
            px.height() * kTwipsPerPixel};
}

void placeTwips(QWidget *w, const QRect &twips)
{
    w->setProperty(kTwipsProperty, twips);
    // Edges are rounded, not sizes, so neighbours that touch in twips touch in pixels.
    const int left = twipsToPixels(twips.x());
    const int top = twipsToPixels(twips.y());
    const int right = twipsToPixels(twips.x() + twips.width());
    const int bottom = twipsToPixels(twips.y() + twips.height());
    w->setGeometry(left, top, right - left, bottom - top);
}

int twipsTop(const QWidget *w)
{
    return twipsGeometry(w).y();
}
int twipsHeight(const QWidget *w)
{
    return twipsGeometry(w).height();
}

void setTwipsTop(QWidget *w, int top)
{
    QRect r = twipsGeometry(w);
    r.moveTop(top);
    placeTwips(w, r);
}

void setTwipsHeight(QWidget *w, int height)
{
    QRect r = twipsGeometry(w);
    r.setHeight(height);
    placeTwips(w, r);
}

} // namespace syj
