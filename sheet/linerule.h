// The rule that tells a timed lyric line from an info line, splits a line into
// what a row shows, and turns a row's time tag into a play position.
//
// Positions and lengths count characters (Unicode code points), not bytes and
// not UTF-16 units: a Chinese character counts one, and so does a character
// outside the Basic Multilingual Plane.
#pragma once

#include <QString>
#include <QStringView>
#include <optional>

namespace syj {

// Label text of a row made from an info line.
inline constexpr char16_t kInfoLabel[] = u"信息";

// Number of characters of a time tag, "[mm:ss.xx]".
inline constexpr int kTagLength = 10;

// True when the line begins with a time tag: character 1 is '[', 4 is ':',
// 7 is '.' and 10 is ']'. Nothing else of the line is looked at.
bool isTimedLine(QStringView line);

struct LyricLineParts {
    QString label; // the time tag of a timed line, or "信息"
    QString words; // everything after the tag, or the whole info line
};

// The label text and the words of a line, exactly as they stand.
LyricLineParts splitLyricLine(const QString &line);

// Play position in seconds of a timed row's label text: minutes * 60 + seconds
// + hundredths / 100. Blanks around a field's digits are ignored and a leading
// minus sign is allowed (a plus sign is not). No value when a field is not a
// number.
std::optional<double> tagSeconds(QStringView tag);

// Number of characters (code points) in text.
qsizetype characterCount(QStringView text);

// The text from character `from` (counting from 0) to the end.
QString charactersFrom(const QString &text, qsizetype from);

} // namespace syj
