// Form1, the main window: the lyric panel with its rows, the scroll bar, and
// the bottom panel with the commands, the two players and the counters.
//
// Form1 builds the widgets from the window definition and connects each event
// to its handler. The handlers live with their subsystems: the lyric-file
// commands in LyricSheet (sheet/), the players' in Playback (playback/), the
// scrolling, focus tracking and author window here in app/.
#pragma once

#include "app/form2.h"
#include "platform/controlarray.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <memory>

class QLabel;
class QLineEdit;
class QPushButton;

namespace syj {

class ClassicScrollBar;
class CommonDialog;
class LyricSheet;
class MediaPlayer;
class Playback;
class PictureBox;
class Shape;

// Window geometry in twips.
inline constexpr int kFormClientWidth = 14160;
inline constexpr int kFormClientHeight = 9135;
inline constexpr int kRowTemplateTop = 840;
inline constexpr int kRowPitch = 400;
inline constexpr int kPanelExtraBelowRow = 1200;
inline constexpr int kLyricAreaHeight = 7695; // the scroll bar's height
inline constexpr int kHighlightAboveRow = 120;

// The column header's caption: its titles stand over their columns in a font
// whose space is half a Chinese character wide.
inline constexpr char16_t kHeaderCaption[] =
    u"    时间              原歌词                        新歌词           从本句开播选择";

// "宋体" at the given size, with the free Song/Ming face that Debian ships as
// its stand-in, and GB2312's character set.
QFont songFont(double pointSize);

class Form1 : public QWidget
{
    Q_OBJECT
public:
    Form1();
    ~Form1() override;

    // Bottom panel and what it holds.
    PictureBox *Picture1 = nullptr;
    PictureBox *Image1 = nullptr;
    QPushButton *dcButton1 = nullptr; // 打开伴奏音乐
    QPushButton *dcButton4 = nullptr; // 打开原唱音乐
    QPushButton *dcButton3 = nullptr; // 打开原唱歌词
    QPushButton *dcButton6 = nullptr; // 打开新歌词
    QPushButton *dcButton8 = nullptr; // 保存新歌词
    QPushButton *dcButton7 = nullptr; // 作者
    QPushButton *Command1 = nullptr;  // 载入歌词, never visible
    CommonDialog *CommonDialog1 = nullptr;
    MediaPlayer *WindowsMediaPlayer1 = nullptr; // accompaniment
    MediaPlayer *WindowsMediaPlayer2 = nullptr; // original recording
    QLabel *Label2 = nullptr;                   // 句数：
    QLabel *Label3 = nullptr;                   // line count
    QLabel *Label5 = nullptr;                   // 本句字数：
    QLabel *Label4 = nullptr;                   // character count of the focused row

    // The scroll bar and the lyric panel with its header, highlight and rows.
    ClassicScrollBar *VScroll1 = nullptr;
    PictureBox *Picture2 = nullptr;
    QLabel *Label6 = nullptr;
    Shape *Shape1 = nullptr;
    ControlArray<QLabel> Label1;
    ControlArray<QLineEdit> Text1;
    ControlArray<QLineEdit> Text2;
    ControlArray<QPushButton> dcButton2;
    ControlArray<QPushButton> dcButton5;

    LyricSheet &sheet() const { return *m_sheet; }
    Playback &playback() const { return *m_playback; }

    // Handlers of the main window itself.
    void VScroll1_Change();
    void Text1_GotFocus(int Index);
    void Text2_GotFocus(int Index);
    void dcButton7_Click();

    // The author window while it is open.
    Form2 *authorWindow() const { return m_form2; }

    // Connects the click and focus events of row i's widgets (after a load).
    void wireRow(int i);

protected:
    void paintEvent(QPaintEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void buildBottomPanel();
    void buildLyricPanel();
    void setTabOrder();
    void wireEvents();
    void onFocusChanged(QWidget *old, QWidget *now);
    void centreOnScreen();

    QPixmap m_background;
    std::unique_ptr<LyricSheet> m_sheet;
    std::unique_ptr<Playback> m_playback;
    QPointer<Form2> m_form2;
    bool m_centred = false;
};

} // namespace syj
