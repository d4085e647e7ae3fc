// Window geometry in twips (1/1440 inch; 15 twips a pixel at 96 dpi).
//
// Every position and size of the window definitions, and every value the
// handlers compute from them, is kept in twips on the widget itself. Only
// placeTwips() turns twips into pixels, so a row at 840 + 400 * k twips keeps
// its exact place even though 400 twips is not a whole number of pixels.
#pragma once

#include <QRect>

class QWidget;

namespace syj {

inline constexpr int kTwipsPerPixel = 15;

// Pixels for a twips value, rounded to the nearest pixel.
int twipsToPixels(int twips);

// The twips geometry (left, top, width, height) a widget was placed at.
QRect twipsGeometry(const QWidget *w);

// Places a widget by its twips geometry and remembers that geometry.
void placeTwips(QWidget *w, const QRect &twips);
inline void placeTwips(QWidget *w, int left, int top, int width, int height)
{
    placeTwips(w, QRect(left, top, width, height));
}

// Twips accessors in the shape the handlers use.
int twipsTop(const QWidget *w);
int twipsHeight(const QWidget *w);
void setTwipsTop(QWidget *w, int top);
void setTwipsHeight(QWidget *w, int height);

} // namespace syj
