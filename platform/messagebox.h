// The Qt message box behind the platform tools' boxes.
#pragma once

#include "sheet/platformtools.h"

class QWidget;

namespace syj {

// Shows a QMessageBox with Chinese button texts, modally over `parent`.
MsgResult showQtMessageBox(QWidget *parent, const MessageBoxRequest &request);

} // namespace syj
