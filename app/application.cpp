#include "app/application.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

using namespace Qt::StringLiterals;

namespace syj {

void configureApplication(QApplication &app)
{
    QApplication::setApplicationName(u"shengyunjian"_s);
    QApplication::setOrganizationName(u"shengyunjian"_s);
    QApplication::setQuitOnLastWindowClosed(true);
    // Lets the desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(u"io.github.shengyunjian.shengyunjian"_s);

    QFont ui = QApplication::font();
    ui.setFamilies({u"Noto Sans CJK SC"_s, u"WenQuanYi Micro Hei"_s, u"Sans Serif"_s});
    ui.setPointSize(9);
    QApplication::setFont(ui);

    auto *qtTranslator = new QTranslator(&app);
    if (qtTranslator->load(QLocale(QLocale::Chinese, QLocale::China), u"qtbase"_s, u"_"_s,
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTranslator);
}

} // namespace syj
