#include "platform/qtplatformtools.h"

#include "platform/messagebox.h"

#include <QApplication>

namespace syj {

QWidget *QtPlatformTools::window() const
{
    return m_window ? m_window.data() : QApplication::activeWindow();
}

std::optional<QString> QtPlatformTools::runFileDialog(const FileDialogRequest &request)
{
    return m_fileDialog.run(window(), request);
}

MsgResult QtPlatformTools::showMessage(const MessageBoxRequest &request)
{
    return showQtMessageBox(window(), request);
}

} // namespace syj
