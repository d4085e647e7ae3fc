#include "platform/filedialog.h"

#include "platform/messagebox.h"

#include <QAbstractItemView>
#include <QCompleter>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QWindow>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// A (non-native) QFileDialog that also refuses a name whose folder does not
// exist, when the request asks for that, lets an open dialog add the default
// extension to a typed name, and takes a click beside the name line's
// completion list as a click.
class FileDialog : public QFileDialog
{
public:
    FileDialog(QWidget *parent, bool pathMustExist)
        : QFileDialog(parent), m_pathMustExist(pathMustExist)
    {
        setOption(QFileDialog::DontUseNativeDialog);
        passClicksBesideCompletionList();
        // Qt enables 打开(O) only for a name that is a file, while Enter also
        // takes a name that the default extension makes a file; this runs
        // after Qt's own check of every change of the name.
        if (const auto *edit = findChild<QLineEdit *>(u"fileNameEdit"_s))
            connect(edit, &QLineEdit::textChanged, this, &FileDialog::enableOpenForExtension);
    }

    // An open dialog adds the default extension to a typed name only when the
    // name as typed is no file: a file without a dot can always be opened.
    void setOpenExtension(const QString &ext) { m_openExtension = ext; }
    // The chosen file: the typed name with the default extension, or Qt's choice.
    QString chosen() const { return !m_chosen.isEmpty() ? m_chosen : selectedFiles().value(0); }

    void accept() override
    {
        if (const std::optional<QString> withExt = withOpenExtension()) {
            m_chosen = *withExt;
            QDialog::accept();
            return;
        }
        const QStringList files = selectedFiles();
        if (m_pathMustExist && !files.isEmpty()) {
            const QFileInfo info(files.first());
            if (!info.absoluteDir().exists()) {
                showQtMessageBox(this, {u"文件夹“%1”不存在。\n请检查路径是否正确。"_s.arg(
                                            QDir::toNativeSeparators(info.absolutePath())),
                                        windowTitle(), MsgButtons::Ok, MsgIcon::Warning});
                return;
            }
        }
        QFileDialog::accept();
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (watched == m_completionList && event->type() == QEvent::MouseButtonPress &&
            m_completionList->isVisible()) {
            const auto *press = static_cast<QMouseEvent *>(event);
            if (!m_completionList->rect().contains(press->position().toPoint())) {
                m_completionList->hide();
                pressAgain(*press);
                return true;
            }
        }
        return QFileDialog::eventFilter(watched, event);
    }

private:
    // The typed name with the open dialog's default extension, where the name
    // is no file, has no extension, and is a file with it.
    std::optional<QString> withOpenExtension() const
    {
        const QStringList files = selectedFiles();
        if (m_openExtension.isEmpty() || files.size() != 1)
            return std::nullopt;
        const QFileInfo typed(files.first());
        const QString withExt = typed.filePath() + u'.' + m_openExtension;
        if (typed.exists() || !typed.suffix().isEmpty() || !QFileInfo::exists(withExt))
            return std::nullopt;
        return withExt;
    }

    void enableOpenForExtension()
    {
        const auto *buttons = findChild<QDialogButtonBox *>(u"buttonBox"_s);
        QPushButton *open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
        if (open && !open->isEnabled() && withOpenExtension())
            open->setEnabled(true);
    }

    // While the name line's completion list is open it has every click. A
    // click beside it closes it; on X11 that is all the click does, so that a
    // click on 打开(O) after typing a path would only close the list. Here the
    // click also goes on to the part of the dialog under the pointer, on every
    // platform (Qt's own passing-on, where a platform has it, is turned off).
    void passClicksBesideCompletionList()
    {
        const auto *edit = findChild<QLineEdit *>(u"fileNameEdit"_s);
        QCompleter *completer = edit ? edit->completer() : nullptr;
        m_completionList = completer ? completer->popup() : nullptr;
        if (!m_completionList)
            return;
        m_completionList->setAttribute(Qt::WA_NoMouseReplay);
        // Filters run newest first: this one sees a click before the completer.
        m_completionList->installEventFilter(this);
    }

    // Gives a press that closed the completion list to the dialog's window,
    // where it reaches the widget under the pointer, as a press of its own.
    void pressAgain(const QMouseEvent &press)
    {
        QWindow *window = windowHandle();
        const QPointF global = press.globalPosition();
        if (!window || !rect().contains(mapFromGlobal(global.toPoint())))
            return;
        const QPointF local = window->mapFromGlobal(global);
        QMouseEvent again(QEvent::MouseButtonPress, local, local, global, press.button(),
                          press.buttons(), press.modifiers(), press.pointingDevice());
        QCoreApplication::sendEvent(window, &again);
    }

    QAbstractItemView *m_completionList = nullptr;
    bool m_pathMustExist;
    QString m_openExtension;
    QString m_chosen;
};
} // namespace

QList<FileFilterEntry> parseFileFilter(const QString &filter)
{
    QList<FileFilterEntry> entries;
    const QStringList parts = filter.split(u'|');
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        if (parts[i].isEmpty() && parts[i + 1].isEmpty())
            continue;
        entries.append({parts[i], parts[i + 1]});
    }
    return entries;
}

QStringList qtWildcards(const QString &pattern)
{
    QStringList out;
    for (const QString &p : pattern.split(u';', Qt::SkipEmptyParts)) {
        const QString t = p.trimmed();
        // On Windows "*.*" matches every name; a Linux wildcard needs "*" for that.
        out.append(t == u"*.*"_s ? u"*"_s : t);
    }
    if (out.isEmpty())
        out.append(u"*"_s);
    return out;
}

std::optional<QString> QtFileDialog::run(QWidget *parent, const FileDialogRequest &request)
{
    const bool save = request.mode == FileDialogRequest::Mode::Save;
    FileDialog dialog(parent, request.options.testFlag(FileOption::PathMustExist));
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else
        dialog.setFileMode(request.options.testFlag(FileOption::FileMustExist)
                               ? QFileDialog::ExistingFile
                               : QFileDialog::AnyFile);
    dialog.setOption(QFileDialog::DontConfirmOverwrite,
                     !request.options.testFlag(FileOption::AskBeforeReplacing));
    dialog.setWindowTitle(!request.dialogTitle.isEmpty() ? request.dialogTitle
                          : save                         ? u"另存为"_s
                                                         : u"打开"_s);
    // Qt would add a default suffix to every name, an existing dotless one too;
    // an open dialog adds it only where the typed name is no file.
    dialog.setDefaultSuffix(save ? request.defaultExt : QString());
    if (!save)
        dialog.setOpenExtension(request.defaultExt);

    // Each entry shows its own description; the wildcards behind it are Qt's.
    QStringList nameFilters;
    for (const FileFilterEntry &e : parseFileFilter(request.filter))
        nameFilters.append(e.description + u" ("_s + qtWildcards(e.pattern).join(u' ') + u')');
    if (!nameFilters.isEmpty()) {
        dialog.setNameFilters(nameFilters);
        const int index = request.filterIndex >= 1 && request.filterIndex <= nameFilters.size()
                              ? request.filterIndex - 1
                              : 0;
        dialog.selectNameFilter(nameFilters[index]);
    }

    if (!m_lastFolder.isEmpty())
        dialog.setDirectory(m_lastFolder);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    if (dialog.chosen().isEmpty())
        return std::nullopt;
    const QString chosen = QFileInfo(dialog.chosen()).absoluteFilePath();
    m_lastFolder = QFileInfo(chosen).absolutePath();
    return QDir::toNativeSeparators(chosen);
}

} // namespace syj
