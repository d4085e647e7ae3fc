// What the commands need of the desktop: a modal file dialog and a modal
// message box. The commands get an implementation handed in (the Qt one in the
// program, a scripted one in the tests); nothing here is global.
#pragma once

#include <QFlags>
#include <QString>
#include <optional>

namespace syj {

// What a file dialog insists on.
enum class FileOption : unsigned {
    FileMustExist = 0x1,      // an open dialog takes only an existing file
    PathMustExist = 0x2,      // a save dialog takes only a name in an existing folder
    AskBeforeReplacing = 0x4, // a save dialog asks before it replaces a file
};
Q_DECLARE_FLAGS(FileOptions, FileOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(FileOptions)

// Everything a file dialog is shown with.
struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString fileName;
    FileOptions options;
    QString filter; // "description|pattern|description|pattern|"
    QString defaultExt;
    QString dialogTitle; // empty: the dialog's default title
    int filterIndex = 0; // 1-based; 0 = not set
};

enum class MsgButtons { Ok, RetryCancel, SaveDiscardCancel, RestoreDiscard };
enum class MsgIcon { None, Question, Warning, Critical, Information };
enum class MsgResult { Ok, Retry, Cancel, Save, Discard, Restore };

struct MessageBoxRequest {
    QString text;
    QString title; // the application's title unless the caller gave one
    MsgButtons buttons = MsgButtons::Ok;
    MsgIcon icon = MsgIcon::None;
};

class PlatformTools
{
public:
    virtual ~PlatformTools() = default;

    // Shows a modal file dialog. The chosen full path, or no value when the
    // user cancelled.
    virtual std::optional<QString> runFileDialog(const FileDialogRequest &request) = 0;

    // Shows a modal message box and returns the button pressed. Closing the
    // box without a button counts as its cancel button (or Ok).
    virtual MsgResult showMessage(const MessageBoxRequest &request) = 0;
};

// The title a box shows when it has none of its own.
QString applicationTitle();

// Shows a box; without a title of its own it carries the application's title.
MsgResult messageBox(PlatformTools &tools, const QString &text, MsgButtons buttons = MsgButtons::Ok,
                     MsgIcon icon = MsgIcon::None, const QString &title = {});

} // namespace syj
