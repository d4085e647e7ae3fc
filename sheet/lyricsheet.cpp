#include "sheet/lyricsheet.h"

#include "app/form1.h"
#include "platform/classicscrollbar.h"
#include "platform/commondialog.h"
#include "platform/events.h"
#include "platform/messagebox.h"
#include "platform/picturebox.h"
#include "platform/twips.h"
#include "sheet/linerule.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

QString shown(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

QString notFoundText(const QString &path)
{
    return u"没有找到歌词文件：\n%1\n\n声韵笺读取与所选文件同名、扩展名为“.lrc”的歌词文件。"_s.arg(
        shown(path));
}

} // namespace

LyricSheet::LyricSheet(Form1 &form) : QObject(&form), m_form(form) {}

void LyricSheet::setModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    Q_EMIT modifiedChanged(modified);
}

void LyricSheet::setLoading(bool loading)
{
    m_loading = loading;
    // The three lyric-file commands wait for the load; the user sees them greyed.
    m_form.dcButton3->setEnabled(!loading);
    m_form.dcButton6->setEnabled(!loading);
    m_form.dcButton8->setEnabled(!loading);
    Q_EMIT loadingChanged(loading);
}

bool LyricSheet::refuseWhileLoading()
{
    if (!m_loading)
        return false;
    MsgBox(&m_form, u"正在载入原唱歌词，请等载入完成后再试。"_s, MsgButtons::Ok,
           MsgIcon::Information);
    return true;
}

void LyricSheet::reportUnreadable(const LyricFileRead &read, const QString &path)
{
    QString text;
    switch (read.status) {
    case LyricFileRead::Status::Ok:
        return;
    case LyricFileRead::Status::NotFound:
        text = notFoundText(path);
        break;
    case LyricFileRead::Status::Unreadable:
        text = u"无法读取歌词文件：\n%1\n\n原因：%2"_s.arg(shown(path), read.errorString);
        break;
    case LyricFileRead::Status::TooLarge:
        text =
            u"文件太大，不像是歌词文件（歌词文件最大 %1 MB）：\n%2\n\n没有载入，现有的内容都没有改动。"_s
                .arg(QString::number(kMaxLyricFileBytes / (1024 * 1024)), shown(path));
        break;
    case LyricFileRead::Status::NotText:
        text =
            u"这不是文本歌词文件（文件里有空字节）：\n%1\n\n没有载入，现有的内容都没有改动。"_s.arg(
                shown(path));
        break;
    }
    MsgBox(&m_form, text, MsgButtons::Ok, MsgIcon::Warning);
}

// ---------------------------------------------------------------------------
// Opening the original lyrics

void LyricSheet::dcButton3_Click()
{
    if (refuseWhileLoading())
        return;
    const QString chosen = askOpenFile(*m_form.CommonDialog1);
    if (chosen.isEmpty()) {
        showNoFileChosen(&m_form);
        return;
    }
    // Read ahead, so that a file that is no lyric file costs no row.
    const QString path = LyricFileName(chosen);
    LyricFileRead read = ReadLyricFile(path);
    if (read.refused()) {
        reportUnreadable(read, path);
        return;
    }
    if (!confirmDiscard())
        return;
    // Saving first used the shared dialog: the loader reads the chosen name from it.
    if (m_form.CommonDialog1->FileName() != chosen)
        m_form.CommonDialog1->setFileName(chosen);
    m_prefetchedPath = path;
    m_prefetched = std::move(read);
    Command1_Click();
}

void LyricSheet::Command1_Click()
{
    loadOriginal(m_form.CommonDialog1->FileName());
}

void LyricSheet::removeRows()
{
    if (QWidget *focused = m_form.Picture2->focusWidget(); focused && focused != m_form.Picture2)
        focused->clearFocus();
    const int last = nextRow - 1;
    for (rowIndex = 1; rowIndex <= last; ++rowIndex) {
        m_form.Label1.unload(rowIndex);
        m_form.Text1.unload(rowIndex);
        m_form.Text2.unload(rowIndex);
        m_form.dcButton2.unload(rowIndex);
        m_form.dcButton5.unload(rowIndex);
    }
}

void LyricSheet::createRow(int k)
{
    const auto place = [k](auto &array) {
        auto *w = array.load(k);
        setTwipsTop(w, twipsTop(array(k - 1)) + kRowPitch);
        return w;
    };
    // The time label stands in front of its row (and of the highlight bar). Made
    // last, it is already the front-most widget of the panel: QWidget::raise()
    // would repaint against every sibling, which on a long sheet grows with
    // every row.
    QWidget *row[] = {place(m_form.Text1), place(m_form.Text2), place(m_form.dcButton2),
                      place(m_form.dcButton5), place(m_form.Label1)};
    for (QWidget *w : row)
        w->show();
    connect(m_form.Text2(k), &QLineEdit::textEdited, this, [this] { setModified(true); });
    m_form.wireRow(k);
}

void LyricSheet::loadOriginal(const QString &chosen)
{
    if (m_loading)
        return;
    const QString path = LyricFileName(chosen);
    LyricFileRead read;
    if (!m_prefetchedPath.isEmpty() && m_prefetchedPath == path)
        read = std::move(m_prefetched);
    else
        read = ReadLyricFile(path);
    m_prefetchedPath.clear();
    m_prefetched = {};
    // A file that is there but is no lyric file costs no row.
    if (read.refused()) {
        reportUnreadable(read, path);
        return;
    }

    removeRows();
    nextRow = 1;
    setModified(false);
    if (read.status == LyricFileRead::Status::NotFound) {
        m_form.Label3->setText(u"0"_s);
        reportUnreadable(read, path);
        return;
    }

    const QStringList &lines = read.lines;
    m_abortLoad = false;
    setLoading(true);
    const qsizetype notLoaded = addRows(lines);
    m_form.Label3->setText(QString::number(nextRow - 1));
    setLoading(false);

    if (m_closeAfterLoad) {
        // The window was asked to close during the load: close it now.
        m_closeAfterLoad = false;
        QMetaObject::invokeMethod(&m_form, &QWidget::close, Qt::QueuedConnection);
        return;
    }
    if (notLoaded > 0) {
        MsgBox(&m_form,
               u"歌词文件有 %1 行，声韵笺最多能载入 %2 行；后面的 %3 行没有载入：\n%4"_s.arg(
                   QString::number(lines.size()), QString::number(kMaxControlIndex),
                   QString::number(notLoaded), shown(path)),
               MsgButtons::Ok, MsgIcon::Warning);
    }
    if (read.invalidSequences > 0) {
        MsgBox(
            &m_form,
            u"歌词文件里有 %1 处无法识别的字节，已显示为“\uFFFD”：\n%2\n\n请检查文件的编码（应为 GBK/GB18030 或 UTF-8）。"_s
                .arg(QString::number(read.invalidSequences), shown(path)),
            MsgButtons::Ok, MsgIcon::Warning);
    }
}

qsizetype LyricSheet::addRows(const QStringList &lines)
{
    EventPump pumpEvents(&m_form);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        pumpEvents();
        if (m_abortLoad)
            return 0;
        if (nextRow > kMaxControlIndex)
            return lines.size() - i;
        lineBuffer = lines[i];
        const int k = nextRow;
        createRow(k);
        const LyricLineParts parts = SplitLyricLine(lineBuffer);
        m_form.Label1(k)->setText(parts.label);
        m_form.Text1(k)->setText(parts.words);
        nextRow = k + 1;
        setTwipsHeight(m_form.Picture2, twipsTop(m_form.Label1(k)) + kPanelExtraBelowRow);
        m_form.VScroll1->setMax(twipsHeight(m_form.Picture2) - kLyricAreaHeight);
        m_form.VScroll1->setValue(m_form.VScroll1->max());
    }
    return 0;
}

// ---------------------------------------------------------------------------
// Opening new lyrics into the rows

void LyricSheet::dcButton6_Click()
{
    if (refuseWhileLoading())
        return;
    if (rowCount() == 0) {
        MsgBox(&m_form, u"请先载入原唱歌词"_s, MsgButtons::Ok, MsgIcon::None);
        return;
    }
    const QString chosen = askOpenFile(*m_form.CommonDialog1);
    if (chosen.isEmpty()) {
        showNoFileChosen(&m_form);
        return;
    }
    openNew(chosen);
}

bool LyricSheet::openNew(const QString &chosen)
{
    if (m_loading)
        return false;
    const QString path = LyricFileName(chosen);
    const LyricFileRead read = ReadLyricFile(path);
    if (read.status != LyricFileRead::Status::Ok) {
        reportUnreadable(read, path);
        return false;
    }
    if (read.lines.isEmpty())
        return false;
    if (!confirmDiscard())
        return false;

    qsizetype placed = 0;
    for (rowIndex = 1; placed < read.lines.size() && rowIndex < nextRow; ++rowIndex, ++placed) {
        lineBuffer = read.lines[placed];
        m_form.Text2(rowIndex)->setText(
            IsTimedLine(lineBuffer) ? CharactersFrom(lineBuffer, kTagLength) : lineBuffer);
    }
    setModified(true);

    const qsizetype leftOut = read.lines.size() - placed;
    if (leftOut > 0) {
        MsgBox(&m_form,
               u"新歌词文件有 %1 行，比原唱歌词多 %2 行；多出的 %2 行没有载入：\n%3"_s.arg(
                   QString::number(read.lines.size()), QString::number(leftOut), shown(path)),
               MsgButtons::Ok, MsgIcon::Information);
    }
    return true;
}

// ---------------------------------------------------------------------------
// Saving the new lyrics

void LyricSheet::dcButton8_Click()
{
    if (refuseWhileLoading())
        return;
    const QString path = askSaveFile(*m_form.CommonDialog1);
    if (path.isEmpty())
        return;
    saveNew(path);
}

QStringList LyricSheet::newLyricLines() const
{
    QStringList lines;
    lines.reserve(rowCount());
    const QString info = QString::fromUtf16(kInfoLabel);
    for (int i = 1; i < nextRow; ++i) {
        const QString label = m_form.Label1(i)->text();
        const QString words = m_form.Text2(i)->text();
        lines.append(label == info ? words : label + words);
    }
    return lines;
}

bool LyricSheet::saveNew(const QString &path)
{
    const LyricFileWrite written = WriteLyricFile(path, newLyricLines());
    if (!written.ok) {
        MsgBox(&m_form,
               u"无法保存新歌词：\n%1\n\n原因：%2\n\n已有的文件没有改动，写好的新歌词还在窗口里。"_s
                   .arg(shown(path), written.errorString),
               MsgButtons::Ok, MsgIcon::Critical);
        return false;
    }
    setModified(false);
    return true;
}

// ---------------------------------------------------------------------------
// Unsaved new words

bool LyricSheet::askSaveAndSave()
{
    const QString path = askSaveFile(*m_form.CommonDialog1);
    return !path.isEmpty() && saveNew(path);
}

bool LyricSheet::confirmDiscard()
{
    if (!m_modified)
        return true;
    switch (MsgBox(&m_form, u"新歌词还没有保存。\n要先保存吗？"_s, MsgButtons::SaveDiscardCancel,
                   MsgIcon::Warning)) {
    case MsgResult::Save:
        return askSaveAndSave();
    case MsgResult::Discard:
        return true;
    default:
        return false;
    }
}

bool LyricSheet::mayCloseWindow()
{
    if (m_loading) {
        // End the load at its next line; the window closes when it has stopped.
        m_abortLoad = true;
        m_closeAfterLoad = true;
        return false;
    }
    return confirmDiscard();
}

} // namespace syj
