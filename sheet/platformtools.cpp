#include "sheet/platformtools.h"

using namespace Qt::StringLiterals;

namespace syj {

QString applicationTitle()
{
    return u"声韵笺"_s;
}

MsgResult messageBox(PlatformTools &tools, const QString &text, MsgButtons buttons, MsgIcon icon,
                     const QString &title)
{
    return tools.showMessage({text, title.isEmpty() ? applicationTitle() : title, buttons, icon});
}

} // namespace syj
