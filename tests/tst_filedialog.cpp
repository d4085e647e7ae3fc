// The shared file dialog through the real (non-native) QFileDialog: a test
// types into the dialog the way a user would, from a timer that waits for the
// dialog to come up, and checks the name the open and save commands get back.

#include "app/application.h"
#include "platform/qtplatformtools.h"
#include "sheet/filerequests.h"

#include <QApplication>
#include <QComboBox>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListView>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <memory>

using namespace Qt::StringLiterals;
using syj::FileRequests;

namespace {

constexpr int kShowTimeoutMs = 5000;

// Calls `act` with the modal T once it is the active modal window. Polls from
// a timer, since the dialog runs its own event loop; gives up after a while.
template <class T> QPointer<QTimer> whenShown(QObject *guard, std::function<void(T *)> act)
{
    auto *timer = new QTimer(guard);
    timer->setInterval(10);
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    QObject::connect(timer, &QTimer::timeout, guard, [timer, act, clock] {
        auto *w = qobject_cast<T *>(QApplication::activeModalWidget());
        const bool shown = w && w->isVisible();
        if (!shown && clock->elapsed() < kShowTimeoutMs)
            return;
        // `act` may run a modal loop of its own: keep a copy off the timer.
        const std::function<void(T *)> run = act;
        timer->stop();
        timer->deleteLater();
        if (shown)
            run(w);
    });
    timer->start();
    return timer;
}

QLineEdit *fileNameEdit(QFileDialog *d)
{
    return d->findChild<QLineEdit *>(u"fileNameEdit"_s);
}

// Makes the dialog the active window with the keyboard in its name line, as
// when it comes up; null when that does not happen.
QLineEdit *focusNameLine(QFileDialog *d)
{
    QLineEdit *edit = fileNameEdit(d);
    if (!edit)
        return nullptr;
    // The dialog must be the active window, or its list takes the name line over.
    d->activateWindow();
    if (!QTest::qWaitForWindowActive(d))
        return nullptr;
    edit->setFocus();
    if (!QTest::qWaitFor([edit] { return edit->hasFocus(); }))
        return nullptr;
    return edit;
}

bool completionListOpen(const QLineEdit *edit)
{
    const QCompleter *c = edit->completer();
    return c && c->popup() && c->popup()->isVisible();
}

// The window's dialogs as its commands ask for them, shown for real. A
// default extension stands for what an earlier save leaves to the open dialog.
struct Dialogs {
    explicit Dialogs(syj::PlatformTools &t) : tools(t) {}
    syj::PlatformTools &tools;
    QString defaultExt;
    QString lastChosen;

    void setDefaultExt(const QString &ext) { defaultExt = ext; }
    QString ask(FileRequests::Kind kind)
    {
        syj::FileDialogRequest request = FileRequests(tools).requestFor(kind);
        if (!defaultExt.isEmpty())
            request.defaultExt = defaultExt;
        lastChosen = tools.runFileDialog(request).value_or(QString());
        return lastChosen;
    }
};

// Runs `act` on the dialog. A message box that comes up meanwhile goes to
// `onBox`; without one it is recorded in `boxes` and dismissed.
void watchingBoxes(QFileDialog *d, const std::function<void()> &act, QStringList *boxes,
                   std::function<void(QMessageBox *)> onBox = {})
{
    if (!onBox) {
        onBox = [boxes](QMessageBox *box) {
            if (boxes)
                boxes->append(box->text());
            box->reject();
        };
    }
    const QPointer<QTimer> watcher = whenShown<QMessageBox>(d, onBox);
    act();
    delete watcher.data();
}

// Types the text into the name line and presses Enter, as a user does.
// A message box that comes up on Enter goes to `onBox`; without one it is
// recorded in `boxes` and dismissed.
void typeAndEnter(QFileDialog *d, const QString &text, QStringList *boxes = nullptr,
                  std::function<void(QMessageBox *)> onBox = {})
{
    QLineEdit *edit = focusNameLine(d);
    if (!edit)
        return;
    edit->clear();
    // Latin characters come from the keyboard, Chinese ones from the input method.
    QString pending;
    const auto commit = [&] {
        if (pending.isEmpty())
            return;
        QInputMethodEvent e;
        e.setCommitString(pending);
        QApplication::sendEvent(edit, &e);
        pending.clear();
    };
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            commit();
            QTest::keyClick(edit, char(c.unicode()));
        } else {
            pending.append(c);
        }
    }
    commit();
    // The completer's list may have opened over the line; Enter goes to the dialog.
    if (completionListOpen(edit))
        edit->completer()->popup()->hide();
    watchingBoxes(
        d, [edit] { QTest::keyClick(edit, Qt::Key_Return); }, boxes, std::move(onBox));
}

// Types the text one key at a time into the dialog's window, as a keyboard
// does: the key goes to the name line, through the completion list while that
// is open, so that the completion follows every key.
void typeKeyByKey(QFileDialog *d, const QString &text)
{
    for (const QChar c : text) {
        QTest::sendKeyEvent(QTest::Click, d->windowHandle(), Qt::Key(c.toUpper().unicode()),
                            QString(c), Qt::NoModifier);
    }
}

// Clicks 打开(O) through the dialog's window, as a mouse does: while the
// completion list is open, the list has the click first.
void clickOpenButton(QFileDialog *d)
{
    const auto *buttons = d->findChild<QDialogButtonBox *>(u"buttonBox"_s);
    const QPushButton *open = buttons ? buttons->button(QDialogButtonBox::Open) : nullptr;
    if (open)
        QTest::mouseClick(d->windowHandle(), Qt::LeftButton, {},
                          open->mapTo(d, open->rect().center()));
}

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write("x") == 1;
}

// The names the dialog's list shows for its current folder.
QStringList listedNames(QFileDialog *d)
{
    QStringList names;
    const auto *view = d->findChild<QListView *>(u"listView"_s);
    if (!view || !view->model())
        return names;
    const QAbstractItemModel *model = view->model();
    const QModelIndex root = view->rootIndex();
    for (int row = 0; row < model->rowCount(root); ++row) {
        const QModelIndex i = model->index(row, 0, root);
        if (model->flags(i) & Qt::ItemIsEnabled)
            names << i.data().toString();
    }
    names.sort();
    return names;
}

} // namespace

class TestFileDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QTemporaryDir m_elsewhere;        // a folder the dialog can show instead of m_dir
    std::unique_ptr<QObject> m_guard; // ends the timers of one test
    std::unique_ptr<QWidget> m_owner;
    std::unique_ptr<syj::QtPlatformTools> m_tools;

    QString path(const QString &name) const
    {
        return QDir::toNativeSeparators(m_dir.filePath(name));
    }

private Q_SLOTS:
    void initTestCase()
    {
        syj::configureApplication(*qobject_cast<QApplication *>(QCoreApplication::instance()));
        QVERIFY(m_dir.isValid());
        for (const QString &name : {u"歌词"_s, u"README"_s, u"歌.lrc"_s, u"伴奏.mp3"_s})
            QVERIFY(touch(m_dir.filePath(name)));
        QVERIFY(m_elsewhere.isValid());
        QVERIFY(touch(m_elsewhere.filePath(u"别处.mp3"_s)));
    }

    void init()
    {
        m_guard = std::make_unique<QObject>();
        m_owner = std::make_unique<QWidget>();
        // Fresh Qt tools for each test: the dialog remembers the last folder.
        m_tools = std::make_unique<syj::QtPlatformTools>(m_owner.get());
        m_owner->resize(400, 300);
        m_owner->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_owner.get()));
    }

    void cleanup()
    {
        // Whatever a failed test left open goes now.
        for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i) {
            QWidget *modal = QApplication::activeModalWidget();
            if (auto *d = qobject_cast<QDialog *>(modal))
                d->reject();
            else
                modal->close();
            QCoreApplication::processEvents();
        }
        m_guard.reset();
        m_tools.reset();
        m_owner.reset();
    }

    void openTypedPath_data()
    {
        QTest::addColumn<QString>("name");
        // What an earlier save left in the shared dialog: the default extension.
        QTest::addColumn<QString>("defaultExt");
        // What the dialog returns (the typed name, or it with the default extension).
        QTest::addColumn<QString>("expected");

        QTest::newRow("name without a dot") << u"歌词"_s << QString() << u"歌词"_s;
        QTest::newRow("README") << u"README"_s << QString() << u"README"_s;
        QTest::newRow("lyric file") << u"歌.lrc"_s << QString() << u"歌.lrc"_s;
        QTest::newRow("music file after a save") << u"伴奏.mp3"_s << u"lrc"_s << u"伴奏.mp3"_s;
        QTest::newRow("name without a dot after a save") << u"歌词"_s << u"lrc"_s << u"歌词"_s;
        QTest::newRow("typed name without extension after a save gets lrc")
            << u"歌"_s << u"lrc"_s << u"歌.lrc"_s;
    }

    void openTypedPath()
    {
        QFETCH(QString, name);
        QFETCH(QString, defaultExt);
        QFETCH(QString, expected);

        Dialogs dialog(*m_tools);
        if (!defaultExt.isEmpty())
            dialog.setDefaultExt(defaultExt);
        QString title;
        QFileDialog::FileMode mode = QFileDialog::AnyFile;
        bool stillOpen = false;
        QStringList boxes;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            title = d->windowTitle();
            mode = d->fileMode();
            typeAndEnter(d, path(name), &boxes);
            stillOpen = d->isVisible();
            if (stillOpen)
                d->reject();
        });

        const QString chosen = dialog.ask(FileRequests::Kind::OpenMusic);
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(u" | "_s)));
        QVERIFY2(!stillOpen, "the dialog did not take the name");
        QCOMPARE(chosen, path(expected));
        QCOMPARE(dialog.lastChosen, path(expected));
        QCOMPARE(mode, QFileDialog::ExistingFile);
        QVERIFY(!title.isEmpty());
    }

    void openTypedPathKeyByKey_data()
    {
        // The dialog shows the file's folder (or another one) because an
        // earlier open left it there.
        QTest::addColumn<bool>("inShownFolder");
        QTest::addColumn<QString>("name");
        // What an earlier save left in the shared dialog: the default extension.
        QTest::addColumn<QString>("defaultExt");
        QTest::addColumn<bool>("byButton"); // 打开(O) clicked instead of Enter
        QTest::addColumn<QString>("expected");

        for (const bool byButton : {false, true}) {
            const char *how = byButton ? "打开" : "Enter";
            QTest::addRow("%s: shown folder, 歌.lrc", how)
                << true << u"歌.lrc"_s << QString() << byButton << u"歌.lrc"_s;
            QTest::addRow("%s: shown folder, README", how)
                << true << u"README"_s << QString() << byButton << u"README"_s;
            QTest::addRow("%s: shown folder, 伴奏.mp3 after a save", how)
                << true << u"伴奏.mp3"_s << u"lrc"_s << byButton << u"伴奏.mp3"_s;
            QTest::addRow("%s: shown folder, 歌词 without a dot after a save", how)
                << true << u"歌词"_s << u"lrc"_s << byButton << u"歌词"_s;
            QTest::addRow("%s: shown folder, 歌 gets lrc after a save", how)
                << true << u"歌"_s << u"lrc"_s << byButton << u"歌.lrc"_s;
            QTest::addRow("%s: other folder, 歌.lrc", how)
                << false << u"歌.lrc"_s << QString() << byButton << u"歌.lrc"_s;
            QTest::addRow("%s: other folder, 歌 gets lrc after a save", how)
                << false << u"歌"_s << u"lrc"_s << byButton << u"歌.lrc"_s;
        }
    }

    void openTypedPathKeyByKey()
    {
        QFETCH(bool, inShownFolder);
        QFETCH(QString, name);
        QFETCH(QString, defaultExt);
        QFETCH(bool, byButton);
        QFETCH(QString, expected);

        Dialogs dialog(*m_tools);
        if (!defaultExt.isEmpty())
            dialog.setDefaultExt(defaultExt);
        const QString earlier = inShownFolder
                                    ? path(u"README"_s)
                                    : QDir::toNativeSeparators(m_elsewhere.filePath(u"别处.mp3"_s));
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) { typeAndEnter(d, earlier); });
        QCOMPARE(dialog.ask(FileRequests::Kind::OpenMusic), earlier);

        QString shown;
        QString typed;
        bool listOpen = false;
        bool stillOpen = false;
        QStringList boxes;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            shown = d->directory().absolutePath();
            if (QLineEdit *edit = focusNameLine(d)) {
                typeKeyByKey(d, path(name));
                typed = edit->text();
                // The list opens once the typed path's folder has been read.
                listOpen = QTest::qWaitFor([edit] { return completionListOpen(edit); }, 2000);
                watchingBoxes(
                    d,
                    [d, byButton] {
                        if (byButton)
                            clickOpenButton(d);
                        else
                            QTest::keyClick(d->windowHandle(), Qt::Key_Return);
                    },
                    &boxes);
            }
            stillOpen = d->isVisible();
            if (stillOpen)
                d->reject();
        });

        const QString chosen = dialog.ask(FileRequests::Kind::OpenMusic);
        QCOMPARE(shown, QFileInfo(earlier).absolutePath());
        QCOMPARE(typed, path(name));
        QVERIFY2(listOpen, "the completion list did not open over the name line");
        QVERIFY2(boxes.isEmpty(), qPrintable(boxes.join(u" | "_s)));
        QVERIFY2(!stillOpen, "the dialog did not take the typed path");
        QCOMPARE(chosen, path(expected));
    }

    void openRefusesMissingFile()
    {
        Dialogs dialog(*m_tools);
        bool stillOpen = false;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            QStringList boxes;
            typeAndEnter(d, path(u"没有这个文件.mp3"_s), &boxes);
            stillOpen = d->isVisible();
            d->reject();
        });
        QCOMPARE(dialog.ask(FileRequests::Kind::OpenMusic), QString());
        QVERIFY(stillOpen);
    }

    void listedUnderFilter_data()
    {
        QTest::addColumn<bool>("save");
        QTest::addColumn<int>("entry"); // 0-based filter entry chosen in the dialog
        QTest::addColumn<QStringList>("descriptions");
        QTest::addColumn<QStringList>("listed");

        const QStringList everything = {u"README"_s, u"伴奏.mp3"_s, u"歌.lrc"_s, u"歌词"_s};
        QTest::newRow("open, 音乐文件(*.*)")
            << false << 0 << QStringList{u"音乐文件(*.*)"_s} << everything;
        QTest::newRow("save, 歌词文件(*.lrc)")
            << true << 0 << QStringList{u"歌词文件(*.lrc)"_s, u"All files(*.*)"_s}
            << QStringList{u"歌.lrc"_s};
        QTest::newRow("save, All files(*.*)")
            << true << 1 << QStringList{u"歌词文件(*.lrc)"_s, u"All files(*.*)"_s} << everything;
    }

    void listedUnderFilter()
    {
        QFETCH(bool, save);
        QFETCH(int, entry);
        QFETCH(QStringList, descriptions);
        QFETCH(QStringList, listed);

        Dialogs dialog(*m_tools);
        QStringList seen;
        QStringList shownFilters;
        int firstFilter = -1;
        bool loaded = false;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            if (auto *combo = d->findChild<QComboBox *>(u"fileTypeCombo"_s)) {
                firstFilter = combo->currentIndex();
                for (int i = 0; i < combo->count(); ++i)
                    shownFilters << combo->itemText(i).trimmed();
            }
            d->setDirectory(m_dir.path());
            if (entry < d->nameFilters().size())
                d->selectNameFilter(d->nameFilters().at(entry));
            // The folder is read in the background; wait for all four files.
            loaded = QTest::qWaitFor([&] { return listedNames(d).size() >= listed.size(); },
                                     kShowTimeoutMs);
            QTest::qWait(100); // anything more that would show has shown now
            seen = listedNames(d);
            d->reject();
        });

        const QString chosen = save ? dialog.ask(FileRequests::Kind::SaveLyrics)
                                    : dialog.ask(FileRequests::Kind::OpenMusic);
        QCOMPARE(chosen, QString());
        QVERIFY2(loaded, qPrintable(seen.join(u", "_s)));
        QCOMPARE(shownFilters, descriptions);
        QCOMPARE(firstFilter, 0); // the save set-up asks for entry 1, the first one
        QCOMPARE(seen, listed);
    }

    void saveAddsDefaultExtension_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("expected");
        QTest::newRow("no extension") << u"新词"_s << u"新词.lrc"_s;
        QTest::newRow("own extension") << u"新词.txt"_s << u"新词.txt"_s;
        QTest::newRow("lrc typed") << u"新词2.lrc"_s << u"新词2.lrc"_s;
    }

    void saveAddsDefaultExtension()
    {
        QFETCH(QString, typed);
        QFETCH(QString, expected);

        Dialogs dialog(*m_tools);
        QString title;
        QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
        QString suffix;
        bool stillOpen = false;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            title = d->windowTitle();
            acceptMode = d->acceptMode();
            suffix = d->defaultSuffix();
            d->setDirectory(m_dir.path());
            typeAndEnter(d, typed);
            stillOpen = d->isVisible();
            if (stillOpen)
                d->reject();
        });

        const QString chosen = dialog.ask(FileRequests::Kind::SaveLyrics);
        QVERIFY2(!stillOpen, "the dialog did not take the name");
        QCOMPARE(chosen, path(expected));
        QVERIFY(chosen.endsWith(expected));
        QCOMPARE(title, u"保存文本"_s);
        QCOMPARE(acceptMode, QFileDialog::AcceptSave);
        QCOMPARE(suffix, u"lrc"_s);
        // Choosing a name writes nothing; that is the save command's work.
        QVERIFY(!QFile::exists(m_dir.filePath(expected)));
    }

    void saveOverExistingFileAsks_data()
    {
        QTest::addColumn<bool>("replace");
        QTest::newRow("replace: yes") << true;
        QTest::newRow("replace: no") << false;
    }

    void saveOverExistingFileAsks()
    {
        QFETCH(bool, replace);

        const QString existing = m_dir.filePath(u"旧词.lrc"_s);
        QVERIFY(touch(existing));
        Dialogs dialog(*m_tools);
        QString question;
        bool stillOpen = false;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            d->setDirectory(m_dir.path());
            typeAndEnter(d, u"旧词"_s, nullptr, [&](QMessageBox *box) {
                question = box->text();
                QAbstractButton *answer = box->button(replace ? QMessageBox::Yes : QMessageBox::No);
                if (answer)
                    answer->click();
                else
                    box->reject();
            });
            stillOpen = d->isVisible();
            if (stillOpen)
                d->reject();
        });

        const QString chosen = dialog.ask(FileRequests::Kind::SaveLyrics);
        QVERIFY2(question.contains(u"旧词.lrc"_s), qPrintable(question));
        QCOMPARE(stillOpen, !replace);
        QCOMPARE(chosen, replace ? path(u"旧词.lrc"_s) : QString());
        QVERIFY(QFile::exists(existing));
    }

    void saveIntoMissingFolderRefused()
    {
        Dialogs dialog(*m_tools);
        QString warning;
        bool stillOpen = false;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            QStringList boxes;
            typeAndEnter(d, m_dir.filePath(u"没有的文件夹/新词"_s), &boxes);
            warning = boxes.join(u" | "_s);
            stillOpen = d->isVisible();
            d->reject();
        });

        QCOMPARE(dialog.ask(FileRequests::Kind::SaveLyrics), QString());
        QVERIFY2(warning.contains(u"没有的文件夹"_s), qPrintable(warning));
        QVERIFY(stillOpen);
    }

    void nextDialogStartsInLastFolder()
    {
        // The backend remembers where the last file was chosen.
        Dialogs dialog(*m_tools);
        whenShown<QFileDialog>(m_guard.get(),
                               [&](QFileDialog *d) { typeAndEnter(d, path(u"歌.lrc"_s)); });
        QCOMPARE(dialog.ask(FileRequests::Kind::OpenMusic), path(u"歌.lrc"_s));

        QString folder;
        whenShown<QFileDialog>(m_guard.get(), [&](QFileDialog *d) {
            folder = d->directory().absolutePath();
            d->reject();
        });
        QCOMPARE(dialog.ask(FileRequests::Kind::OpenMusic), QString());
        QCOMPARE(folder, QDir(m_dir.path()).absolutePath());
    }
};

QTEST_MAIN(TestFileDialog)
#include "tst_filedialog.moc"
