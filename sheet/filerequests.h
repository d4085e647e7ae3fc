// The window's three file dialogs, asked for by what they are for. Open
// music and open lyrics show one dialog (every file, which must exist); save
// lyrics asks for a name for a .lrc file, before replacing one. A save's
// title, default extension and filter choice stay in force for the open
// dialogs shown after it, as they always have.
#pragma once

#include "sheet/platformtools.h"

#include <QString>

namespace syj {

class FileRequests
{
public:
    enum class Kind { OpenMusic, OpenLyrics, SaveLyrics };

    explicit FileRequests(PlatformTools &tools) : m_tools(tools) {}
    FileRequests(const FileRequests &) = delete;
    FileRequests &operator=(const FileRequests &) = delete;

    // What the dialog for `kind` is shown with now.
    FileDialogRequest requestFor(Kind kind) const;
    // Shows the dialog for `kind` and returns the chosen full path, or "" when
    // the user cancelled.
    QString choose(Kind kind);

    PlatformTools &tools() const { return m_tools; }

private:
    PlatformTools &m_tools;
    // Set by the first save dialog, kept from then on.
    QString m_title;
    QString m_defaultExt;
    int m_filterIndex = 0;
};

// The box an open command shows when no file was chosen.
void showNoFileChosen(PlatformTools &tools);

} // namespace syj
