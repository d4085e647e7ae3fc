// The shared file dialog of the main window.
//
// One object holds the classic properties (file name, flags, filter string
// "description|pattern|...", default extension, title, filter index) and keeps
// them between uses: what one command sets stays in force for the next command
// that does not set it. setAction(1) shows an open dialog, setAction(2) a save
// dialog, through an injected backend (the Qt one, or a scripted one in tests).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QWidget;

namespace syj {

// Flag values of the classic dialog.
enum CommonDialogFlags : int {
    cdlOFNOverwritePrompt = 2,
    cdlOFNPathMustExist = 2048,
    cdlOFNFileMustExist = 4096,
};

struct FileDialogRequest {
    enum class Mode { Open, Save };
    Mode mode = Mode::Open;
    QString fileName;
    int flags = 0;
    QString filter;
    QString defaultExt;
    QString dialogTitle; // empty: the dialog's default title
    int filterIndex = 0; // 1-based; 0 = not set
};

// One filter entry of a filter string.
struct FileFilterEntry {
    QString description;
    QString pattern;
};

// Splits "desc|pattern|desc|pattern|" into entries (a trailing "|" is allowed).
QList<FileFilterEntry> parseFileFilter(const QString &filter);

// The patterns of a filter entry as Qt name-filter wildcards: "*.*" matches
// every file, names without a dot included.
QStringList qtWildcards(const QString &pattern);

class FileDialogBackend
{
public:
    virtual ~FileDialogBackend() = default;
    // The chosen full path, or no value when the user cancelled.
    virtual std::optional<QString> run(QWidget *parent, const FileDialogRequest &request) = 0;
};

class CommonDialog : public QObject
{
    Q_OBJECT
public:
    explicit CommonDialog(QWidget *owner);

    QString FileName() const { return m_request.fileName; }
    int Flags() const { return m_request.flags; }
    QString Filter() const { return m_request.filter; }
    QString DefaultExt() const { return m_request.defaultExt; }
    QString DialogTitle() const { return m_request.dialogTitle; }
    int FilterIndex() const { return m_request.filterIndex; }

    void setFileName(const QString &name);
    void setFlags(int flags);
    void setFilter(const QString &filter);
    void setDefaultExt(const QString &ext);
    void setDialogTitle(const QString &title);
    // The Integer property with dispatch identifier 23: the filter index.
    void setFilterIndex(int index);
    void setProperty23(int value) { setFilterIndex(value); }

    // 1 shows the open dialog, 2 the save dialog; returns when it closes. On
    // cancel FileName keeps the value it had before.
    void setAction(int action);

    // The property assignments in the order they were made ("FileName=", ...),
    // so the order of a command's set-up can be checked.
    const QStringList &trace() const { return m_trace; }
    void clearTrace() { m_trace.clear(); }

private:
    QWidget *m_owner;
    FileDialogRequest m_request;
    QStringList m_trace;
};

// Open use: file name cleared, file must exist, the one entry "音乐文件(*.*)",
// shown as an open dialog. Returns the chosen name, or "" on cancel.
QString askOpenFile(CommonDialog &dialog);

// Save use: default extension "lrc", file name cleared, the lyric and all-files
// entries, filter index 1, title "保存文本", ask before replacing, folder must
// exist, shown as a save dialog. Returns the chosen name, or "" on cancel.
QString askSaveFile(CommonDialog &dialog);

// The box an open command shows when no file was chosen.
void showNoFileChosen(QWidget *parent);

// Replaces the backend; returns the one in use. nullptr restores the Qt one.
std::unique_ptr<FileDialogBackend> setFileDialogBackend(std::unique_ptr<FileDialogBackend> backend);

// The Qt backend: a (non-native) QFileDialog set up from the request. It
// remembers the folder of the last chosen file for the next dialog.
class QtFileDialogBackend : public FileDialogBackend
{
public:
    std::optional<QString> run(QWidget *parent, const FileDialogRequest &request) override;

private:
    QString m_lastFolder;
};

} // namespace syj
