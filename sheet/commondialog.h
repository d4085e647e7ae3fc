// The shared file dialog of the main window.
//
// One object holds the classic properties (file name, flags, filter string
// "description|pattern|...", default extension, title, filter index) and keeps
// them between uses: what one command sets stays in force for the next command
// that does not set it. setAction(1) shows an open dialog, setAction(2) a save
// dialog, through the platform tools it was given.
#pragma once

#include "sheet/platformtools.h"

#include <QString>

namespace syj {

class CommonDialog
{
public:
    explicit CommonDialog(PlatformTools &tools) : m_tools(tools) {}
    CommonDialog(const CommonDialog &) = delete;
    CommonDialog &operator=(const CommonDialog &) = delete;

    QString FileName() const { return m_request.fileName; }
    int Flags() const { return m_request.flags; }
    QString Filter() const { return m_request.filter; }
    QString DefaultExt() const { return m_request.defaultExt; }
    QString DialogTitle() const { return m_request.dialogTitle; }
    int FilterIndex() const { return m_request.filterIndex; }

    void setFileName(const QString &name) { m_request.fileName = name; }
    void setFlags(int flags) { m_request.flags = flags; }
    void setFilter(const QString &filter) { m_request.filter = filter; }
    void setDefaultExt(const QString &ext) { m_request.defaultExt = ext; }
    void setDialogTitle(const QString &title) { m_request.dialogTitle = title; }
    // The Integer property with dispatch identifier 23: the filter index.
    void setFilterIndex(int index) { m_request.filterIndex = index; }
    void setProperty23(int value) { setFilterIndex(value); }

    // 1 shows the open dialog, 2 the save dialog; returns when it closes. On
    // cancel FileName keeps the value it had before. Other values show nothing.
    void setAction(int action);

    PlatformTools &tools() const { return m_tools; }

private:
    PlatformTools &m_tools;
    FileDialogRequest m_request;
};

// Open use: file name cleared, file must exist, the one entry "音乐文件(*.*)",
// shown as an open dialog. Returns the chosen name, or "" on cancel.
QString askOpenFile(CommonDialog &dialog);

// Save use: default extension "lrc", file name cleared, the lyric and all-files
// entries, filter index 1, title "保存文本", ask before replacing, folder must
// exist, shown as a save dialog. Returns the chosen name, or "" on cancel.
QString askSaveFile(CommonDialog &dialog);

// The box an open command shows when no file was chosen.
void showNoFileChosen(PlatformTools &tools);

} // namespace syj
