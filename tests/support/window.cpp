#include "support/window.h"

#include "app/form1.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace syj::test {

bool loadIntoWindow(Form1 &form, ScriptedPlatform &platform, const QString &folder,
                    const QByteArray &bytes)
{
    static int files = 0;
    const QString name = QDir(folder).filePath(u"sheet%1.lrc"_s.arg(++files));
    if (!writeFile(name, bytes))
        return false;
    platform.choose(name);
    form.dcButton3_Click();
    return true;
}

} // namespace syj::test
