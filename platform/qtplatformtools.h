// The desktop's own file dialog and message box, shown over the window they
// belong to (or over the active window while none is set).
#pragma once

#include "platform/filedialog.h"
#include "sheet/platformtools.h"

#include <QPointer>
#include <QWidget>

namespace syj {

class QtPlatformTools : public PlatformTools
{
public:
    explicit QtPlatformTools(QWidget *window = nullptr) : m_window(window) {}
    void setWindow(QWidget *window) { m_window = window; }

    std::optional<QString> runFileDialog(const FileDialogRequest &request) override;
    MsgResult showMessage(const MessageBoxRequest &request) override;

private:
    QWidget *window() const;

    QPointer<QWidget> m_window;
    QtFileDialog m_fileDialog;
};

} // namespace syj
