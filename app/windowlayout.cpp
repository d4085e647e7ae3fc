#include "app/windowlayout.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace syj {

QFont songFont(double pointSize)
{
    QFont f;
    f.setFamilies({u"宋体"_s, u"SimSun"_s, u"AR PL UMing CN"_s, u"AR PL UMing TW"_s});
    f.setPointSizeF(pointSize);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

} // namespace syj
