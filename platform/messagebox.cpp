#include "platform/messagebox.h"

#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace syj {

MsgResult showQtMessageBox(QWidget *parent, const MessageBoxRequest &request)
{
    QMessageBox box(parent);
    box.setWindowTitle(request.title.isEmpty() ? applicationTitle() : request.title);
    box.setText(request.text);
    switch (request.icon) {
    case MsgIcon::None:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case MsgIcon::Question:
        box.setIcon(QMessageBox::Question);
        break;
    case MsgIcon::Warning:
        box.setIcon(QMessageBox::Warning);
        break;
    case MsgIcon::Critical:
        box.setIcon(QMessageBox::Critical);
        break;
    case MsgIcon::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }

    struct Choice {
        MsgResult result;
        QString text;
        QMessageBox::ButtonRole role;
    };
    QList<Choice> choices;
    MsgResult onEscape = MsgResult::Ok;
    switch (request.buttons) {
    case MsgButtons::Ok:
        choices = {{MsgResult::Ok, u"确定"_s, QMessageBox::AcceptRole}};
        onEscape = MsgResult::Ok;
        break;
    case MsgButtons::RetryCancel:
        choices = {{MsgResult::Retry, u"重试(&R)"_s, QMessageBox::AcceptRole},
                   {MsgResult::Cancel, u"取消"_s, QMessageBox::RejectRole}};
        onEscape = MsgResult::Cancel;
        break;
    case MsgButtons::SaveDiscardCancel:
        choices = {{MsgResult::Save, u"保存(&S)"_s, QMessageBox::AcceptRole},
                   {MsgResult::Discard, u"不保存(&N)"_s, QMessageBox::DestructiveRole},
                   {MsgResult::Cancel, u"取消"_s, QMessageBox::RejectRole}};
        onEscape = MsgResult::Cancel;
        break;
    case MsgButtons::RestoreDiscard:
        choices = {{MsgResult::Restore, u"恢复(&R)"_s, QMessageBox::AcceptRole},
                   {MsgResult::Discard, u"丢弃(&D)"_s, QMessageBox::DestructiveRole}};
        onEscape = MsgResult::Cancel;
        break;
    }
    QList<QPair<QAbstractButton *, MsgResult>> made;
    for (const Choice &c : choices) {
        QPushButton *b = box.addButton(c.text, c.role);
        made.append({b, c.result});
        if (c.role == QMessageBox::RejectRole)
            box.setEscapeButton(b);
    }
    box.setDefaultButton(static_cast<QPushButton *>(made.first().first));
    box.exec();
    for (const auto &[button, result] : made) {
        if (box.clickedButton() == button)
            return result;
    }
    return onEscape;
}

} // namespace syj
