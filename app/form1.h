// Form1, the main window: the lyric panel with its rows, the scroll bar, and
// the bottom panel with the commands, the two players and the counters.
//
// Form1 is the view of the lyric-sheet model: it makes each row's widgets when
// the model inserts the row and removes them when the row goes, shows what the
// model holds and writes the words typed into the rows back into it. Each
// event of a widget goes to a one-line handler named after the widget and the
// event, which calls the operation it stands for: the lyric-file commands
// (sheet/), the players (playback/), scrolling, current-row tracking and the
// author window (here).
#pragma once

#include "app/form2.h"
#include "platform/controlarray.h"
#include "platform/textbox.h"
#include "playback/playback.h"
#include "sheet/lyrictext.h"

#include <QAccessible>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QModelIndex;

class QAction;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;

namespace syj {

class AidsWindow;
class ClassicScrollBar;
class FileRequests;
class FramePainter;
class LyricSheetCommands;
class LyricSheetModel;
class MediaPlayer;
class PictureBox;
class PlatformTools;
class RecoveryKeeper;
class SheetAids;
class Shape;

// Window geometry in twips.
inline constexpr int kFormClientWidth = 14160;
inline constexpr int kFormClientHeight = 9135;
inline constexpr int kRowTemplateTop = 840;
inline constexpr int kRowPitch = 400;
inline constexpr int kPanelExtraBelowRow = 1200;
inline constexpr int kLyricAreaHeight = 7695; // the scroll bar's height
inline constexpr int kHighlightAboveRow = 120;
// Pixels at the right end of a new-words box kept for the aids' mark.
inline constexpr int kAidsMarkMargin = 60;

// The column header's caption: its titles stand over their columns in a font
// whose space is half a Chinese character wide.
inline constexpr char16_t kHeaderCaption[] =
    u"    时间              原歌词                        新歌词           从本句开播选择";

// "宋体" at the given size, with the free Song/Ming face that Debian ships as
// its stand-in, and GB2312's character set.
QFont songFont(double pointSize);

class Form1 : public QWidget, private QAccessible::ActivationObserver
{
    Q_OBJECT
public:
    // Every file dialog and message box of the window goes through `tools`.
    explicit Form1(PlatformTools &tools);
    ~Form1() override;

    // Bottom panel and what it holds.
    PictureBox *Picture1 = nullptr;
    PictureBox *Image1 = nullptr;
    QPushButton *dcButton1 = nullptr;           // 打开伴奏音乐
    QPushButton *dcButton4 = nullptr;           // 打开原唱音乐
    QPushButton *dcButton3 = nullptr;           // 打开原唱歌词
    QPushButton *dcButton6 = nullptr;           // 打开新歌词
    QPushButton *dcButton8 = nullptr;           // 保存新歌词
    QPushButton *dcButton7 = nullptr;           // 作者
    MediaPlayer *WindowsMediaPlayer1 = nullptr; // accompaniment
    MediaPlayer *WindowsMediaPlayer2 = nullptr; // original recording
    QLabel *Label2 = nullptr;                   // 句数：
    QLabel *Label3 = nullptr;                   // line count
    QLabel *Label5 = nullptr;                   // 本句字数：
    QLabel *Label4 = nullptr;                   // character count of the focused row
    // Which encoding the last lyric file was read in, shown when it was not
    // one of the usual two (GB18030/GBK and UTF-8).
    QLabel *encodingNote = nullptr;

    // The scroll bar and the lyric panel with its header, highlight and rows.
    ClassicScrollBar *VScroll1 = nullptr;
    PictureBox *Picture2 = nullptr;
    QLabel *Label6 = nullptr;
    Shape *Shape1 = nullptr;
    ControlArray<QLabel> Label1;
    ControlArray<TextBox> Text1;
    ControlArray<TextBox> Text2;
    ControlArray<QPushButton> dcButton2;
    ControlArray<QPushButton> dcButton5;

    // The rows as data, the lyric-file commands and the players' operations.
    LyricSheetModel &sheet() const { return *m_sheet; }
    LyricSheetCommands &commands() const { return *m_commands; }
    Playback &playback() const { return *m_playback; }

    // Handlers of the window's events, each the operation it stands for.
    void dcButton1_Click();          // 打开伴奏音乐
    void dcButton4_Click();          // 打开原唱音乐
    void dcButton3_Click();          // 打开原唱歌词
    void dcButton6_Click();          // 打开新歌词
    void dcButton8_Click();          // 保存新歌词
    void dcButton7_Click();          // 作者
    void dcButton2_Click(int Index); // 伴奏 of row Index
    void dcButton5_Click(int Index); // 原唱 of row Index
    void VScroll1_Change();
    void Text1_GotFocus(int Index);
    void Text2_GotFocus(int Index);

    // Listening while writing (listening.cpp): keys that work wherever the
    // focus is in the window, none of them a key an input method takes.
    //   F2 / F3  play the current row on the accompaniment / the original
    //   F4       loop the current row on or off
    //   F5       move playback to the other track at the same place
    //   F6 / F7  one speed step slower / faster
    //   F8       pause both players
    //   Ctrl+S   保存新歌词; Ctrl+O 打开原唱歌词
    // In a row's box, Enter (unless the input method is composing) and Down
    // go to the next row's new words, Up to the row before.
    void playCurrentRow(Playback::Track track);
    void toggleLoop();
    void switchTrack();
    void slower();
    void faster();
    void pauseBoth();
    // The row the keys work on: the row last focused (from 1), else row 1;
    // 0 on an empty sheet.
    int currentRow() const;
    // Puts the focus in row k's new words, scrolling the panel to show the row.
    void goToRow(int k);
    // The right-click menu of row k's button for the track: loop, lead-in, speed.
    QMenu *makeRowMenu(int k, Playback::Track track, QWidget *parent);
    // The window's key commands.
    QList<QAction *> keyActions() const { return m_keyActions; }

    // The author window while it is open.
    Form2 *authorWindow() const { return m_form2; }

    // The writing aids of the rows, and the aids window (写词助手) once it
    // was shown: it opens with the first sheet loaded where the screen has
    // room for it beside the main window, and F12 shows or hides it.
    SheetAids &aids() const { return *m_aids; }
    AidsWindow *aidsWindow() const;
    // Shows the aids window; with `onlyWhereItFits`, only where it would not
    // cover the main window. Returns whether it is shown.
    bool showAidsWindow(bool onlyWhereItFits = false);
    void toggleAidsWindow();

    // Keeps a recovery copy of unsaved new words in `folder` from now on.
    void keepRecoveryCopies(const QString &folder);
    RecoveryKeeper *recoveryKeeper() const { return m_recovery.get(); }
    // A file that comes from outside the window, from the command line or
    // dropped on it: loaded as if it had been chosen in 打开原唱歌词.
    void openFromOutside(const QString &chosen);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dragMoveEvent(QDragMoveEvent *event) override;
    void dropEvent(QDropEvent *event) override;

private:
    void buildBottomPanel();
    void buildLyricPanel();
    void setTabOrder();
    void wireEvents();
    void centreOnScreen();
    void showLineCount(qsizetype lines);
    void showCharacterCount(qsizetype characters);
    static void showCount(QLabel *count, const QLabel *caption, qsizetype n);

    // The view of the model.
    void createRows(const QModelIndex &parent, int first, int last);
    void createRow(int k);
    void nameRow(int k);
    void accessibilityActiveChanged(bool active) override;
    void removeRows(const QModelIndex &parent, int first, int last);
    void showRowData(const QModelIndex &topLeft, const QModelIndex &bottomRight,
                     const QList<int> &roles);
    void onLoadingChanged(bool loading);
    void closeDuringLoad();
    void markCurrentRow(int k);
    void buildKeys();
    bool rowPanelEvent(QEvent *event);
    bool moveBetweenRows(QKeyEvent *event);
    void showNoLoop(int row, Playback::Track track, const QString &why);
    void showAuthorWindow();
    void showNoPlayPosition(int row, Playback::Track track, const QString &tag);
    void showEncoding(LyricEncoding encoding, const QString &path);

    // The aids on the rows' new-words boxes (aidsview.cpp).
    TextBox::Mark rowMark(int row) const;
    QString rowAidsDescription(int row) const;
    QString rowLineEnds(int row) const;
    bool showMarkToolTip(QWidget *box, const QPoint &globalPos);
    void showRowAids(const QList<int> &rows);
    void showAllRowAids();
    std::optional<QPoint> placeForAidsWindow() const;

    // Where a file dragged over the window would go if it were dropped there.
    enum class DropTarget { Nothing, Sheet, Accompaniment, Original };
    DropTarget dropTarget(const QDropEvent &event, QString *file = nullptr) const;
    void answerDrag(QDropEvent &event);

    QPixmap m_background;
    PlatformTools &m_tools;
    std::unique_ptr<FileRequests> m_files;
    std::unique_ptr<LyricSheetModel> m_sheet;
    std::unique_ptr<LyricSheetCommands> m_commands;
    std::unique_ptr<Playback> m_playback;
    std::unique_ptr<RecoveryKeeper> m_recovery;
    std::unique_ptr<SheetAids> m_aids;
    QPointer<AidsWindow> m_aidsWindow;
    bool m_aidsWindowOpened = false;
    // Paints the window once a frame while the original lyrics load.
    std::unique_ptr<FramePainter> m_framePainter;
    QPointer<Form2> m_form2;
    bool m_centred = false;
    // What the window does when the running load ends, after it was asked to
    // close during the load.
    enum class AfterLoad { Nothing, Close, SaveAndClose };
    AfterLoad m_afterLoad = AfterLoad::Nothing;
    // The unsaved words were already given up: the close asks nothing more.
    bool m_closeWithoutAsking = false;
    // A screen reader is listening: the rows' controls carry names saying
    // which row they belong to (made only then: 40,000 names on a long sheet
    // cost memory and time that nobody else needs).
    bool m_accessible = false;
    // The row last focused, from 1; 0: none yet.
    int m_currentRow = 0;
    QList<QAction *> m_keyActions;
};

} // namespace syj
