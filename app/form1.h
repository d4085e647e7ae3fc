// Form1, the main window: the lyric panel with its rows and scroll bar (the
// row panel), and the bottom panel with the commands, the two players and
// the counters.
//
// Each event of a widget goes to a one-line handler named after the widget
// and the event, which calls the operation it stands for: the lyric-file
// commands (sheet/), the players (playback/), the row panel's scrolling and
// current row, and the author window. The handlers count the rows from 1 as
// the window always has; everything below them counts from 0, as the model.
// The listening keys and the drops are classes of their own.
#pragma once

#include "app/form2.h"
#include "app/windowlayout.h"
#include "playback/playback.h"
#include "sheet/lyrictext.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>
#include <optional>

class QLabel;
class QPushButton;

namespace syj {

class AidsWindow;
class ClassicScrollBar;
class DropHandler;
class FileRequests;
class ListeningKeys;
class LyricSheetCommands;
class LyricSheetModel;
class MediaPlayer;
class PictureBox;
class PlatformTools;
class RecoveryKeeper;
class RowPanel;
class SheetAids;
class Shape;

class Form1 : public QWidget
{
    Q_OBJECT
public:
    // Every file dialog and message box of the window goes through `tools`.
    explicit Form1(PlatformTools &tools);
    ~Form1() override;

    // The window's widgets by their names.
    PictureBox *Picture1() const { return m_w.Picture1; }
    PictureBox *Image1() const { return m_w.Image1; }
    QPushButton *dcButton1() const { return m_w.dcButton1; } // 打开伴奏音乐
    QPushButton *dcButton4() const { return m_w.dcButton4; } // 打开原唱音乐
    QPushButton *dcButton3() const { return m_w.dcButton3; } // 打开原唱歌词
    QPushButton *dcButton6() const { return m_w.dcButton6; } // 打开新歌词
    QPushButton *dcButton8() const { return m_w.dcButton8; } // 保存新歌词
    QPushButton *dcButton7() const { return m_w.dcButton7; } // 作者
    MediaPlayer *WindowsMediaPlayer1() const { return m_w.WindowsMediaPlayer1; } // accompaniment
    MediaPlayer *WindowsMediaPlayer2() const { return m_w.WindowsMediaPlayer2; } // original
    QLabel *Label2() const { return m_w.Label2; }                                // 句数：
    QLabel *Label3() const { return m_w.Label3; }                                // line count
    QLabel *Label5() const { return m_w.Label5; }                                // 本句字数：
    QLabel *Label4() const { return m_w.Label4; } // character count of the focused row
    // Which encoding the last lyric file was read in, shown when it was not
    // one of the usual two (GB18030/GBK and UTF-8).
    QLabel *encodingNote() const { return m_w.encodingNote; }
    ClassicScrollBar *VScroll1() const;
    PictureBox *Picture2() const;
    QLabel *Label6() const;
    Shape *Shape1() const;

    // The rows' widgets, the rows as data, the lyric-file commands, the
    // players' operations and the listening keys.
    RowPanel &rows() const { return *m_rows; }
    LyricSheetModel &sheet() const { return *m_sheet; }
    LyricSheetCommands &commands() const { return *m_commands; }
    Playback &playback() const { return *m_playback; }
    ListeningKeys &listening() const { return *m_listening; }

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

private:
    void buildBottomPanel();
    void setTabOrder();
    void wireEvents();
    void centreOnScreen();
    void showLineCount(qsizetype lines);
    void showCharacterCount(qsizetype characters);
    static void showCount(QLabel *count, const QLabel *caption, qsizetype n);
    void markCurrentRow(int row);
    void onLoadingChanged(bool loading);
    void closeDuringLoad();
    void showAuthorWindow();
    void showEncoding(LyricEncoding encoding, const QString &path);

    // The bottom panel's widgets.
    struct Widgets {
        PictureBox *Picture1 = nullptr;
        PictureBox *Image1 = nullptr;
        QPushButton *dcButton1 = nullptr;
        QPushButton *dcButton4 = nullptr;
        QPushButton *dcButton3 = nullptr;
        QPushButton *dcButton6 = nullptr;
        QPushButton *dcButton8 = nullptr;
        QPushButton *dcButton7 = nullptr;
        MediaPlayer *WindowsMediaPlayer1 = nullptr;
        MediaPlayer *WindowsMediaPlayer2 = nullptr;
        QLabel *Label2 = nullptr;
        QLabel *Label3 = nullptr;
        QLabel *Label5 = nullptr;
        QLabel *Label4 = nullptr;
        QLabel *encodingNote = nullptr;
    } m_w;

    QPixmap m_background;
    PlatformTools &m_tools;
    std::unique_ptr<FileRequests> m_files;
    std::unique_ptr<LyricSheetModel> m_sheet;
    std::unique_ptr<LyricSheetCommands> m_commands;
    std::unique_ptr<SheetAids> m_aids;
    // Made before the players and the bottom panel, which stand in front of it;
    // its rows go before the sheet they show and write to.
    std::unique_ptr<RowPanel> m_rows;
    std::unique_ptr<Playback> m_playback;
    std::unique_ptr<RecoveryKeeper> m_recovery;
    ListeningKeys *m_listening = nullptr;
    QPointer<AidsWindow> m_aidsWindow;
    bool m_aidsWindowOpened = false;
    QPointer<Form2> m_form2;
    bool m_centred = false;
    // What the window does when the running load ends, after it was asked to
    // close during the load.
    enum class AfterLoad { Nothing, Close, SaveAndClose };
    AfterLoad m_afterLoad = AfterLoad::Nothing;
    // The unsaved words were already given up: the close asks nothing more.
    bool m_closeWithoutAsking = false;
};

} // namespace syj
