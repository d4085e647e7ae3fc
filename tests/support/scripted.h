// Scripted platform tools (the file dialog and the message box) and small file
// helpers for the tests. Everything else in the tests is real: widgets, files,
// players.
#pragma once

#include "sheet/platformtools.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <deque>
#include <functional>
#include <optional>

namespace syj::test {

// Records every dialog it was shown and answers from a queue: a path, or no
// value for a cancel. An empty queue cancels.
class ScriptedFileDialog
{
public:
    std::optional<QString> run(const FileDialogRequest &request);

    QList<FileDialogRequest> shown;
    std::deque<std::optional<QString>> answers;
    // Runs after the dialog has answered, before the command goes on: for
    // changing the world behind the user's back (a file that vanishes).
    std::function<void()> afterAnswer;
};

// Records every box it was shown and answers from a queue; an empty queue
// presses the box's first button (Ok, Retry, Save or Restore).
class ScriptedMessageBox
{
public:
    MsgResult show(const MessageBoxRequest &request);

    QList<MessageBoxRequest> shown;
    std::deque<MsgResult> answers;
};

// The platform tools a test hands to the window or the commands.
class ScriptedPlatform : public PlatformTools
{
public:
    std::optional<QString> runFileDialog(const FileDialogRequest &request) override
    {
        return m_dialog.run(request);
    }
    MsgResult showMessage(const MessageBoxRequest &request) override { return m_box.show(request); }

    ScriptedFileDialog &dialog() { return m_dialog; }
    ScriptedMessageBox &box() { return m_box; }

    // Shortcuts: the next dialog returns `path` / is cancelled; the next box
    // is answered with `r`.
    void choose(const QString &path) { m_dialog.answers.push_back(path); }
    void cancel() { m_dialog.answers.push_back(std::nullopt); }
    void answer(MsgResult r) { m_box.answers.push_back(r); }

private:
    ScriptedFileDialog m_dialog;
    ScriptedMessageBox m_box;
};

// Writes bytes to a file, creating it; returns false on failure.
bool writeFile(const QString &path, const QByteArray &bytes);
// The whole content of a file (empty when it cannot be read).
QByteArray readFile(const QString &path);
// The GBK/GB18030 bytes of text.
QByteArray gbk(const QString &text);

} // namespace syj::test
