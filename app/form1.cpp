#include "app/form1.h"

#include "app/aidswindow.h"
#include "app/drops.h"
#include "app/form2.h"
#include "app/listeningkeys.h"
#include "app/resources.h"
#include "app/rowpanel.h"
#include "platform/classicscrollbar.h"
#include "platform/mediaplayer.h"
#include "platform/picturebox.h"
#include "platform/pictures.h"
#include "platform/twips.h"
#include "sheet/filerequests.h"
#include "sheet/linerule.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/recovery.h"
#include "sheet/sheetaids.h"
#include "sheet/sheetcommands.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <utility>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

// The window's handlers count the rows from 1, the model from 0.
int windowIndex(int row)
{
    return row + 1;
}

int modelRow(int Index)
{
    return Index - 1;
}

const QString kBackgroundPicture = u":/pictures/background.bmp"_s;
const QString kPanelPicture = u":/pictures/panel.jpg"_s;
const QString kIconPicture = u":/pictures/icon.ico"_s;

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, int left,
                        int top, int width, int height)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1StringView(name));
    b->setAutoDefault(false);
    b->setDefault(false);
    placeTwips(b, left, top, width, height);
    return b;
}

QLabel *makeLabel(QWidget *parent, const char *name, const QString &caption, int left, int top,
                  int width, int height)
{
    auto *l = new QLabel(caption, parent);
    l->setObjectName(QLatin1StringView(name));
    l->setTextFormat(Qt::PlainText);
    l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    placeTwips(l, left, top, width, height);
    return l;
}

} // namespace

Form1::Form1(PlatformTools &tools) : m_tools(tools)
{
    initResources();
    // The pictures are decoded on a worker while the widgets and fonts are set up.
    PictureLoader pictures({kBackgroundPicture, kPanelPicture, kIconPicture});
    setObjectName(u"Form1"_s);
    // Qt shows "声韵笺*" while the window is marked modified (unsaved new words).
    setWindowTitle(u"声韵笺[*]"_s);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    // Fixed single border: the layout is absolute and does not follow a resize.
    setFixedSize(twipsToPixels(kFormClientWidth), twipsToPixels(kFormClientHeight));

    m_files = std::make_unique<FileRequests>(m_tools);
    m_sheet = std::make_unique<LyricSheetModel>();
    m_commands = std::make_unique<LyricSheetCommands>(*m_sheet, *m_files);
    m_aids = std::make_unique<SheetAids>(*m_sheet);
    // Front to back: Picture1, VScroll1, Picture2; later siblings are drawn on top.
    m_rows = std::make_unique<RowPanel>(*this, *m_sheet, *m_aids);
    buildBottomPanel();
    showLineCount(0);
    showCharacterCount(0);
    m_playback = std::make_unique<Playback>(*m_w.WindowsMediaPlayer1->player(),
                                            *m_w.WindowsMediaPlayer2->player(), *m_sheet, *m_files);
    m_listening = new ListeningKeys(
        {this, m_w.WindowsMediaPlayer1, m_w.WindowsMediaPlayer2, m_w.dcButton3, m_w.dcButton8},
        *m_rows, *m_playback);
    setTabOrder();
    wireEvents();
    // Files dropped on the window or on its players.
    setAcceptDrops(true);
    new DropHandler(*this, *m_w.WindowsMediaPlayer1, *m_w.WindowsMediaPlayer2, *m_commands,
                    *m_playback, *m_sheet);

    m_background = pictures.take(kBackgroundPicture);
    m_rows->panel()->setPicture(m_background);
    m_w.Image1->setPicture(pictures.take(kPanelPicture));
    setWindowIcon(QIcon(pictures.take(kIconPicture)));

    centreOnScreen();
}

Form1::~Form1()
{
    // The rows go first, while the sheet they show and write to is still there.
    m_rows.reset();
}

ClassicScrollBar *Form1::VScroll1() const
{
    return m_rows->scrollBar();
}

PictureBox *Form1::Picture2() const
{
    return m_rows->panel();
}

QLabel *Form1::Label6() const
{
    return m_rows->header();
}

Shape *Form1::Shape1() const
{
    return m_rows->highlight();
}

void Form1::centreOnScreen()
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    // move() places the frame; centre the frame, whose size is known once shown.
    const QSize frame = frameGeometry().size().expandedTo(size());
    const QRect area = screen->availableGeometry();
    move(area.x() + (area.width() - frame.width()) / 2,
         area.y() + (area.height() - frame.height()) / 2);
}

void Form1::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    if (!m_centred) {
        m_centred = true;
        centreOnScreen();
    }
}

void Form1::buildBottomPanel()
{
    m_w.Picture1 = new PictureBox(this);
    m_w.Picture1->setObjectName(u"Picture1"_s);
    placeTwips(m_w.Picture1, 0, 7680, 15015, 1455);

    // Back to front: m_w.Image1, m_w.WindowsMediaPlayer1, m_w.Label2, m_w.Label3,
    // m_w.WindowsMediaPlayer2, m_w.Label4, m_w.Label5, m_w.dcButton1, 4, 3, 6, 8, 7.
    m_w.Image1 = new PictureBox(m_w.Picture1);
    m_w.Image1->setObjectName(u"Image1"_s);
    m_w.Image1->setStretch(true);
    placeTwips(m_w.Image1, 0, 0, 14175, 1560);

    m_w.WindowsMediaPlayer1 = new MediaPlayer(m_w.Picture1);
    m_w.WindowsMediaPlayer1->setObjectName(u"WindowsMediaPlayer1"_s);
    m_w.WindowsMediaPlayer1->setAccessibleName(u"伴奏播放器"_s);
    m_w.WindowsMediaPlayer1->controls()->setAccessibleOwner(u"伴奏播放器"_s);
    placeTwips(m_w.WindowsMediaPlayer1, 0, 480, 5655, 975);

    m_w.Label2 = makeLabel(m_w.Picture1, "Label2", u"句数："_s, 6840, 600, 735, 375);
    m_w.Label3 = makeLabel(m_w.Picture1, "Label3", u"0"_s, 7560, 600, 615, 375);

    m_w.WindowsMediaPlayer2 = new MediaPlayer(m_w.Picture1);
    m_w.WindowsMediaPlayer2->setObjectName(u"WindowsMediaPlayer2"_s);
    m_w.WindowsMediaPlayer2->setAccessibleName(u"原唱播放器"_s);
    m_w.WindowsMediaPlayer2->controls()->setAccessibleOwner(u"原唱播放器"_s);
    placeTwips(m_w.WindowsMediaPlayer2, 8520, 480, 5655, 975);

    m_w.Label4 = makeLabel(m_w.Picture1, "Label4", u"0"_s, 7560, 840, 615, 375);
    m_w.Label5 = makeLabel(m_w.Picture1, "Label5", u"本句字数："_s, 6480, 840, 1095, 375);

    m_w.dcButton1 = makeButton(m_w.Picture1, "dcButton1", u"打开伴奏音乐"_s, 120, 0, 1695, 495);
    m_w.dcButton4 = makeButton(m_w.Picture1, "dcButton4", u"打开原唱音乐"_s, 1800, 0, 1695, 495);
    m_w.dcButton3 = makeButton(m_w.Picture1, "dcButton3", u"打开原唱歌词"_s, 3480, 0, 1695, 495);
    m_w.dcButton6 = makeButton(m_w.Picture1, "dcButton6", u"打开新歌词"_s, 8760, 0, 1695, 495);
    m_w.dcButton8 = makeButton(m_w.Picture1, "dcButton8", u"保存新歌词"_s, 10440, 0, 1695, 495);
    m_w.dcButton7 = makeButton(m_w.Picture1, "dcButton7", u"作者"_s, 12480, 0, 975, 495);

    // In the free space between 打开原唱歌词 and 打开新歌词, in front of the rest.
    m_w.encodingNote = makeLabel(m_w.Picture1, "encodingNote", QString(), 5280, 60, 3360, 375);
    m_w.encodingNote->setAlignment(Qt::AlignCenter);
    m_w.encodingNote->hide();
}

void Form1::showLineCount(qsizetype lines)
{
    showCount(m_w.Label3, m_w.Label2, lines);
}

void Form1::showCharacterCount(qsizetype characters)
{
    showCount(m_w.Label4, m_w.Label5, characters);
}

void Form1::showCount(QLabel *count, const QLabel *caption, qsizetype n)
{
    count->setText(QString::number(n));
    // On screen the caption stands beside the number; a screen reader gets
    // them as one ("句数：12").
    count->setAccessibleName(caption->text() + count->text());
}

void Form1::setTabOrder()
{
    // The focus order of the window definition; labels and panels take no focus.
    // A player is a stop by the controls inside it, in their own order.
    m_w.Picture1->setFocusPolicy(Qt::NoFocus);
    const auto controlsOf = [](QWidget *player) {
        QList<QWidget *> controls;
        for (QWidget *w : player->findChildren<QWidget *>()) {
            if (w->focusPolicy() & Qt::TabFocus)
                controls.append(w);
        }
        return controls;
    };
    QList<QWidget *> order;
    const RowPanel::Templates row = m_rows->templates();
    order << controlsOf(m_w.WindowsMediaPlayer1) << row.newWordsBox << m_rows->scrollBar()->bar()
          << controlsOf(m_w.WindowsMediaPlayer2) << row.originalBox << m_w.dcButton1
          << m_w.dcButton4 << m_w.dcButton3 << m_w.dcButton6 << m_w.dcButton8 << m_w.dcButton7
          << row.accompanimentButton << row.recordingButton;
    // Link the stops into one round: after the last comes the first again. Linking
    // the last to the first moves the first, so the chain is linked once more.
    const auto link = [&order] {
        for (qsizetype i = 0; i + 1 < order.size(); ++i)
            QWidget::setTabOrder(order[i], order[i + 1]);
    };
    link();
    QWidget::setTabOrder(order.last(), order.first());
    link();
}

void Form1::wireEvents()
{
    connect(m_rows->scrollBar(), &ClassicScrollBar::Change, this, &Form1::VScroll1_Change);
    connect(m_w.dcButton1, &QPushButton::clicked, this, &Form1::dcButton1_Click);
    connect(m_w.dcButton4, &QPushButton::clicked, this, &Form1::dcButton4_Click);
    connect(m_w.dcButton3, &QPushButton::clicked, this, &Form1::dcButton3_Click);
    connect(m_w.dcButton6, &QPushButton::clicked, this, &Form1::dcButton6_Click);
    connect(m_w.dcButton8, &QPushButton::clicked, this, &Form1::dcButton8_Click);
    connect(m_w.dcButton7, &QPushButton::clicked, this, &Form1::dcButton7_Click);

    // The rows' events come with the row counted from 0; the handlers have
    // the window's names and count from 1. This is the one place the two meet.
    const RowPanel *rows = m_rows.get();
    connect(rows, &RowPanel::accompanimentClicked, this,
            [this](int row) { dcButton2_Click(windowIndex(row)); });
    connect(rows, &RowPanel::recordingClicked, this,
            [this](int row) { dcButton5_Click(windowIndex(row)); });
    connect(rows, &RowPanel::originalBoxFocused, this,
            [this](int row) { Text1_GotFocus(windowIndex(row)); });
    connect(rows, &RowPanel::newWordsBoxFocused, this,
            [this](int row) { Text2_GotFocus(windowIndex(row)); });

    const LyricSheetModel *sheet = m_sheet.get();
    connect(sheet, &LyricSheetModel::loadingChanged, this, &Form1::onLoadingChanged);
    connect(sheet, &LyricSheetModel::modifiedChanged, this, &QWidget::setWindowModified);
    connect(m_commands.get(), &LyricSheetCommands::lyricsReadAs, this, &Form1::showEncoding);

    // The aids window opens by itself with the first sheet.
    connect(m_aids.get(), &SheetAids::allChanged, this, [this] {
        if (!m_aidsWindowOpened && m_sheet->count() > 0 && isVisible()) {
            m_aidsWindowOpened = true;
            showAidsWindow(true);
        }
    });
    auto *aidsKey = new QShortcut(QKeySequence(Qt::Key_F12), this);
    aidsKey->setContext(Qt::ApplicationShortcut);
    connect(aidsKey, &QShortcut::activated, this, &Form1::toggleAidsWindow);
}

void Form1::dcButton1_Click()
{
    m_playback->openTrack(Playback::Track::Accompaniment);
}

void Form1::dcButton4_Click()
{
    m_playback->openTrack(Playback::Track::Original);
}

void Form1::dcButton2_Click(int Index)
{
    m_playback->cueRow(modelRow(Index), Playback::Track::Accompaniment);
}

void Form1::dcButton5_Click(int Index)
{
    m_playback->cueRow(modelRow(Index), Playback::Track::Original);
}

void Form1::VScroll1_Change()
{
    m_rows->followScrollBar();
}

void Form1::Text1_GotFocus(int Index)
{
    Text2_GotFocus(Index);
}

void Form1::Text2_GotFocus(int Index)
{
    markCurrentRow(modelRow(Index));
}

void Form1::dcButton7_Click()
{
    showAuthorWindow();
}

void Form1::showAuthorWindow()
{
    if (!m_form2)
        m_form2 = new Form2;
    m_form2->show();
    m_form2->raise();
    m_form2->activateWindow();
}

void Form1::markCurrentRow(int row)
{
    // The count is of the row's original words as their box holds them now,
    // whichever of the row's boxes has the focus.
    const QLineEdit *original = m_rows->originalBox(row);
    if (!original)
        return;
    m_rows->setCurrentRow(row);
    if (m_aidsWindow && m_aidsWindow->isVisible())
        m_aidsWindow->showRow(row);
    showCharacterCount(characterCount(original->text()));
    // The focus moved to a row: what was typed in the last one is kept now.
    if (m_recovery)
        m_recovery->writeIfDue();
}

void Form1::dcButton3_Click()
{
    m_commands->openOriginalLyrics();
}

void Form1::openFromOutside(const QString &chosen)
{
    m_commands->openOriginalLyricsFrom(chosen);
}

void Form1::dcButton6_Click()
{
    m_commands->openNewLyrics();
}

void Form1::dcButton8_Click()
{
    m_commands->saveNewLyrics();
}

void Form1::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.drawPixmap(0, 0, m_background);
}

void Form1::showEncoding(LyricEncoding encoding, const QString &path)
{
    // Said in the window, not in a box: the file loaded, and the writer sees
    // at a glance why its characters may look unusual.
    const bool usual = encoding == LyricEncoding::Gb18030 || encoding == LyricEncoding::Utf8;
    m_w.encodingNote->setText(usual ? QString()
                                    : u"歌词编码：%1"_s.arg(encodingDisplayName(encoding)));
    m_w.encodingNote->setToolTip(
        usual ? QString()
              : u"按 %1 编码读取的歌词文件：\n%2"_s.arg(encodingDisplayName(encoding),
                                                        QDir::toNativeSeparators(path)));
    m_w.encodingNote->setVisible(!usual);
}

void Form1::keepRecoveryCopies(const QString &folder)
{
    m_recovery = std::make_unique<RecoveryKeeper>(*m_sheet, folder);
    connect(m_recovery.get(), &RecoveryKeeper::writeFailed, this, [this](const QString &reason) {
        messageBox(
            m_tools,
            u"无法写入新歌词的恢复文件，程序意外退出时未保存的新词会丢失：\n%1\n\n原因：%2\n\n请尽快保存新歌词。"_s
                .arg(QDir::toNativeSeparators(m_recovery->copyPath()), reason),
            MsgButtons::Ok, MsgIcon::Warning);
    });
}

void Form1::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // Leaving the window is a focus change: what was typed is kept now.
    if (event->type() == QEvent::ActivationChange && !isActiveWindow() && m_recovery)
        m_recovery->writeIfDue();
}

void Form1::onLoadingChanged(bool loading)
{
    // The three lyric-file commands wait for the load; the user sees them greyed.
    m_w.dcButton3->setEnabled(!loading);
    m_w.dcButton6->setEnabled(!loading);
    m_w.dcButton8->setEnabled(!loading);
    if (loading)
        return;
    showLineCount(m_sheet->count());
    // The window was asked to close during the load: once the loader has
    // returned, close it, or save first as the user asked.
    switch (std::exchange(m_afterLoad, AfterLoad::Nothing)) {
    case AfterLoad::Nothing:
        break;
    case AfterLoad::Close:
        m_closeWithoutAsking = true;
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
        break;
    case AfterLoad::SaveAndClose:
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (m_commands->saveNewLyrics())
                    close();
            },
            Qt::QueuedConnection);
        break;
    }
}

AidsWindow *Form1::aidsWindow() const
{
    return m_aidsWindow;
}

bool Form1::showAidsWindow(bool onlyWhereItFits)
{
    if (!m_aidsWindow) {
        m_aidsWindow = new AidsWindow(*m_sheet, *m_aids, this);
        // A word found for a row goes into that row's new words.
        m_aidsWindow->setNewWordsBoxes(
            [this](int row) -> QLineEdit * { return m_rows->newWordsBox(row); });
    }
    if (!m_aidsWindow->isVisible()) {
        const std::optional<QPoint> at = m_aidsWindow->placeBeside(*this);
        if (!at && onlyWhereItFits)
            return false;
        if (at)
            m_aidsWindow->move(*at);
    }
    m_aidsWindow->showRow(m_rows->currentRow());
    // The aids window is a window to look at while typing: showing it leaves
    // the focus in the box being typed in.
    QWidget *focused = QApplication::focusWidget();
    m_aidsWindow->show();
    if (focused && focused->window() == this && QApplication::focusWidget() != focused) {
        activateWindow();
        focused->setFocus(Qt::OtherFocusReason);
    }
    return true;
}

void Form1::toggleAidsWindow()
{
    if (m_aidsWindow && m_aidsWindow->isVisible())
        m_aidsWindow->hide();
    else
        showAidsWindow();
}

void Form1::closeEvent(QCloseEvent *event)
{
    event->ignore();
    if (m_sheet->isLoading()) {
        closeDuringLoad();
        return;
    }
    if (std::exchange(m_closeWithoutAsking, false) || m_commands->confirmDiscard())
        event->accept();
}

void Form1::closeDuringLoad()
{
    if (m_afterLoad != AfterLoad::Nothing)
        return; // already answered for this load
    // The load waits while the question is open; what the user answers
    // decides whether it goes on.
    switch (m_commands->askAboutUnsavedWords()) {
    case MsgResult::Cancel:
        return; // the window stays, and the load goes on to its end
    case MsgResult::Save:
        // The load goes on to its end, so that the save writes every line.
        m_afterLoad = AfterLoad::SaveAndClose;
        return;
    default:
        m_afterLoad = AfterLoad::Close;
        m_commands->stopLoading();
        return;
    }
}
} // namespace syj
