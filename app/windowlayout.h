// The main window's layout: its fixed size and the rows' places in twips,
// and the Song face its lyric panel is set in.
#pragma once

#include <QFont>

namespace syj {

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

} // namespace syj
