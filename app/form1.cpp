#include "app/form1.h"

#include "app/aidswindow.h"
#include "app/form2.h"
#include "app/resources.h"
#include "platform/classicscrollbar.h"
#include "platform/framepainter.h"
#include "platform/mediaplayer.h"
#include "platform/picturebox.h"
#include "platform/pictures.h"
#include "platform/twips.h"
#include "sheet/filerequests.h"
#include "sheet/lyricsheetmodel.h"
#include "sheet/recovery.h"
#include "sheet/sheetaids.h"
#include "sheet/sheetcommands.h"

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

void paintBackground(QWidget *w, const QColor &color)
{
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

QFont songFont(double pointSize)
{
    QFont f;
    f.setFamilies({u"宋体"_s, u"SimSun"_s, u"AR PL UMing CN"_s, u"AR PL UMing TW"_s});
    f.setPointSizeF(pointSize);
    f.setWeight(QFont::Normal);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f;
}

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

    // Front to back: Picture1, VScroll1, Picture2; later siblings are drawn on top.
    buildLyricPanel();
    VScroll1 = new ClassicScrollBar(this);
    VScroll1->setObjectName(u"VScroll1"_s);
    VScroll1->setAccessibleName(u"歌词滚动条"_s);
    VScroll1->bar()->setAccessibleName(u"歌词滚动条"_s);
    placeTwips(VScroll1, 13800, 0, 375, kLyricAreaHeight);
    buildBottomPanel();
    showLineCount(0);
    showCharacterCount(0);

    m_files = std::make_unique<FileRequests>(m_tools);
    m_sheet = std::make_unique<LyricSheetModel>();
    m_commands = std::make_unique<LyricSheetCommands>(*m_sheet, *m_files);
    m_aids = std::make_unique<SheetAids>(*m_sheet);
    m_playback = std::make_unique<Playback>(*WindowsMediaPlayer1->player(),
                                            *WindowsMediaPlayer2->player(), *m_sheet, *m_files);
    setTabOrder();
    wireEvents();
    buildKeys();
    // Files dropped on the window or on its players (drops.cpp).
    setAcceptDrops(true);
    m_accessible = QAccessible::isActive();
    QAccessible::installActivationObserver(this);

    m_background = pictures.take(kBackgroundPicture);
    Picture2->setPicture(m_background);
    Image1->setPicture(pictures.take(kPanelPicture));
    setWindowIcon(QIcon(pictures.take(kIconPicture)));

    centreOnScreen();
}

Form1::~Form1()
{
    QAccessible::removeActivationObserver(this);
    // The rows go first, while the sheet they show and write to is still there.
    delete Picture2;
    Picture2 = nullptr;
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

void Form1::buildLyricPanel()
{
    Picture2 = new PictureBox(this);
    Picture2->setObjectName(u"Picture2"_s);
    Picture2->setBackColor(QColor(227, 223, 145));
    placeTwips(Picture2, 0, 0, 14175, 2895);

    // Back to front: Shape1, Label6, Label1, Text2, Text1, dcButton2, dcButton5.
    Shape1 = new Shape(Picture2);
    Shape1->setObjectName(u"Shape1"_s);
    Shape1->setFillColor(QColor(192, 192, 192));
    placeTwips(Shape1, 120, 1080, 13575, 615);

    Label6 =
        makeLabel(Picture2, "Label6", QString::fromUtf16(kHeaderCaption), 120, 840, 13575, 375);
    Label6->setFont(songFont(15.75));
    Label6->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    paintBackground(Label6, QColor(192, 192, 192));

    auto *label1 = makeLabel(Picture2, "Label1", u"载入中"_s, 240, 840, 1575, 375);
    label1->setFont(songFont(15));
    label1->setAlignment(Qt::AlignCenter);
    paintBackground(label1, QColor(224, 224, 224));
    label1->hide();
    Label1.setTemplate(label1);

    const auto makeTextBox = [this](const char *name, const QString &text, int left) {
        auto *t = new TextBox(text, Picture2);
        t->setObjectName(QLatin1StringView(name));
        // No length limit: QLineEdit would silently cut a long line at 32767 characters.
        t->setMaxLength(std::numeric_limits<int>::max());
        t->setFont(songFont(15));
        t->setFrame(true);
        t->setTextMargins(0, 0, 0, 0);
        placeTwips(t, left, 840, 4575, 375);
        t->hide();
        return t;
    };
    Text2.setTemplate(makeTextBox("Text2", QString(), 6600));
    Text1.setTemplate(makeTextBox("Text1", u"……"_s, 1920));

    // A click on a row's button plays without taking the focus from the box
    // being typed in; Tab still reaches the buttons.
    auto *button2 = makeButton(Picture2, "dcButton2", u"伴奏"_s, 11160, 840, 1215, 375);
    button2->setFocusPolicy(Qt::TabFocus);
    button2->hide();
    dcButton2.setTemplate(button2);
    auto *button5 = makeButton(Picture2, "dcButton5", u"原唱"_s, 12360, 840, 1215, 375);
    button5->setFocusPolicy(Qt::TabFocus);
    button5->hide();
    dcButton5.setTemplate(button5);
}

void Form1::buildBottomPanel()
{
    Picture1 = new PictureBox(this);
    Picture1->setObjectName(u"Picture1"_s);
    placeTwips(Picture1, 0, 7680, 15015, 1455);

    // Back to front: Image1, WindowsMediaPlayer1, Label2, Label3, WindowsMediaPlayer2,
    // Label4, Label5, dcButton1, 4, 3, 6, 8, 7.
    Image1 = new PictureBox(Picture1);
    Image1->setObjectName(u"Image1"_s);
    Image1->setStretch(true);
    placeTwips(Image1, 0, 0, 14175, 1560);

    WindowsMediaPlayer1 = new MediaPlayer(Picture1);
    WindowsMediaPlayer1->setObjectName(u"WindowsMediaPlayer1"_s);
    WindowsMediaPlayer1->setAccessibleName(u"伴奏播放器"_s);
    WindowsMediaPlayer1->controls()->setAccessibleOwner(u"伴奏播放器"_s);
    placeTwips(WindowsMediaPlayer1, 0, 480, 5655, 975);

    Label2 = makeLabel(Picture1, "Label2", u"句数："_s, 6840, 600, 735, 375);
    Label3 = makeLabel(Picture1, "Label3", u"0"_s, 7560, 600, 615, 375);

    WindowsMediaPlayer2 = new MediaPlayer(Picture1);
    WindowsMediaPlayer2->setObjectName(u"WindowsMediaPlayer2"_s);
    WindowsMediaPlayer2->setAccessibleName(u"原唱播放器"_s);
    WindowsMediaPlayer2->controls()->setAccessibleOwner(u"原唱播放器"_s);
    placeTwips(WindowsMediaPlayer2, 8520, 480, 5655, 975);

    Label4 = makeLabel(Picture1, "Label4", u"0"_s, 7560, 840, 615, 375);
    Label5 = makeLabel(Picture1, "Label5", u"本句字数："_s, 6480, 840, 1095, 375);

    dcButton1 = makeButton(Picture1, "dcButton1", u"打开伴奏音乐"_s, 120, 0, 1695, 495);
    dcButton4 = makeButton(Picture1, "dcButton4", u"打开原唱音乐"_s, 1800, 0, 1695, 495);
    dcButton3 = makeButton(Picture1, "dcButton3", u"打开原唱歌词"_s, 3480, 0, 1695, 495);
    dcButton6 = makeButton(Picture1, "dcButton6", u"打开新歌词"_s, 8760, 0, 1695, 495);
    dcButton8 = makeButton(Picture1, "dcButton8", u"保存新歌词"_s, 10440, 0, 1695, 495);
    dcButton7 = makeButton(Picture1, "dcButton7", u"作者"_s, 12480, 0, 975, 495);

    // In the free space between 打开原唱歌词 and 打开新歌词, in front of the rest.
    encodingNote = makeLabel(Picture1, "encodingNote", QString(), 5280, 60, 3360, 375);
    encodingNote->setAlignment(Qt::AlignCenter);
    encodingNote->hide();
}

void Form1::showLineCount(qsizetype lines)
{
    showCount(Label3, Label2, lines);
}

void Form1::showCharacterCount(qsizetype characters)
{
    showCount(Label4, Label5, characters);
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
    Picture1->setFocusPolicy(Qt::NoFocus);
    Picture2->setFocusPolicy(Qt::NoFocus);
    const auto controlsOf = [](QWidget *player) {
        QList<QWidget *> controls;
        for (QWidget *w : player->findChildren<QWidget *>()) {
            if (w->focusPolicy() & Qt::TabFocus)
                controls.append(w);
        }
        return controls;
    };
    QList<QWidget *> order;
    order << controlsOf(WindowsMediaPlayer1) << Text2(0) << VScroll1->bar()
          << controlsOf(WindowsMediaPlayer2) << Text1(0) << dcButton1 << dcButton4 << dcButton3
          << dcButton6 << dcButton8 << dcButton7 << dcButton2(0) << dcButton5(0);
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
    connect(VScroll1, &ClassicScrollBar::Change, this, &Form1::VScroll1_Change);
    connect(dcButton1, &QPushButton::clicked, this, &Form1::dcButton1_Click);
    connect(dcButton4, &QPushButton::clicked, this, &Form1::dcButton4_Click);
    connect(dcButton3, &QPushButton::clicked, this, &Form1::dcButton3_Click);
    connect(dcButton6, &QPushButton::clicked, this, &Form1::dcButton6_Click);
    connect(dcButton8, &QPushButton::clicked, this, &Form1::dcButton8_Click);
    connect(dcButton7, &QPushButton::clicked, this, &Form1::dcButton7_Click);

    // The view of the model; a row's own events are connected as it is made,
    // and its text boxes report the focus to the panel.
    Picture2->installEventFilter(this);
    const LyricSheetModel *sheet = m_sheet.get();
    connect(sheet, &LyricSheetModel::rowsInserted, this, &Form1::createRows);
    connect(sheet, &LyricSheetModel::rowsAboutToBeRemoved, this, &Form1::removeRows);
    connect(sheet, &LyricSheetModel::dataChanged, this, &Form1::showRowData);
    connect(sheet, &LyricSheetModel::loadingChanged, this, &Form1::onLoadingChanged);
    connect(sheet, &LyricSheetModel::modifiedChanged, this, &QWidget::setWindowModified);
    connect(m_playback.get(), &Playback::noPlayPosition, this, &Form1::showNoPlayPosition);
    connect(m_playback.get(), &Playback::noLoop, this, &Form1::showNoLoop);
    connect(m_commands.get(), &LyricSheetCommands::lyricsReadAs, this, &Form1::showEncoding);

    // The writing aids: marks on the rows, and the aids window, which opens
    // by itself with the first sheet.
    connect(m_aids.get(), &SheetAids::rowsChanged, this, &Form1::showRowAids);
    connect(m_aids.get(), &SheetAids::allChanged, this, [this] {
        showAllRowAids();
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
    m_playback->cueRow(Index - 1, Playback::Track::Accompaniment);
}

void Form1::dcButton5_Click(int Index)
{
    m_playback->cueRow(Index - 1, Playback::Track::Original);
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
    encodingNote->setText(usual ? QString() : u"歌词编码：%1"_s.arg(encodingDisplayName(encoding)));
    encodingNote->setToolTip(
        usual ? QString()
              : u"按 %1 编码读取的歌词文件：\n%2"_s.arg(encodingDisplayName(encoding),
                                                        QDir::toNativeSeparators(path)));
    encodingNote->setVisible(!usual);
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
