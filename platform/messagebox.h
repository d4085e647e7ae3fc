// The program's modal message box. Every box goes through one injected
// backend: the Qt one in the program, a scripted one in the tests.
#pragma once

#include <QString>
#include <memory>

class QWidget;

namespace syj {

enum class MsgButtons { Ok, RetryCancel, SaveDiscardCancel };
enum class MsgIcon { None, Question, Warning, Critical, Information };
enum class MsgResult { Ok, Retry, Cancel, Save, Discard };

struct MessageBoxRequest {
    QString text;
    QString title; // empty: the application's title
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

class MessageBoxBackend
{
public:
    virtual ~MessageBoxBackend() = default;
    virtual MsgResult show(QWidget *parent, const MessageBoxRequest &request) = 0;
};

// Shows the box modally and returns the button the user pressed. The result of
// closing the box without a button is the box's cancel button (or Ok).
MsgResult MsgBox(QWidget *parent, const QString &text, MsgButtons buttons = MsgButtons::Ok,
                 MsgIcon icon = MsgIcon::None, const QString &title = {});

// Replaces the backend; returns the one that was in use. nullptr restores the Qt one.
std::unique_ptr<MessageBoxBackend> setMessageBoxBackend(std::unique_ptr<MessageBoxBackend> backend);

// The title a box shows when it has none of its own.
QString applicationTitle();

// The Qt backend: a QMessageBox with Chinese button texts.
class QtMessageBoxBackend : public MessageBoxBackend
{
public:
    MsgResult show(QWidget *parent, const MessageBoxRequest &request) override;
};

} // namespace syj
