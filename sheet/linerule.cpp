#include "sheet/linerule.h"

#include <QChar>
#include <array>

namespace syj {

namespace {

// Length in UTF-16 units of the character that starts at `i`: a surrogate pair
// is one character of two units; any other unit, a lone surrogate included, is
// one character of one unit.
inline qsizetype characterUnitsAt(QStringView text, qsizetype i)
{
    if (QChar::isHighSurrogate(text[i].unicode()) && i + 1 < text.size() &&
        QChar::isLowSurrogate(text[i + 1].unicode())) {
        return 2;
    }
    return 1;
}

// UTF-16 offset of character `n` (counting from 0), or text.size() when the
// text has no more than n characters.
qsizetype offsetOfCharacter(QStringView text, qsizetype n)
{
    qsizetype i = 0;
    for (qsizetype k = 0; k < n && i < text.size(); ++k)
        i += characterUnitsAt(text, i);
    return i;
}

// The character that a time tag needs at 1-based position `position`, or 0
// when the position is one of the field positions.
constexpr char16_t tagCharacterAt(int position)
{
    switch (position) {
    case 1:
        return u'[';
    case 4:
        return u':';
    case 7:
        return u'.';
    case 10:
        return u']';
    default:
        return 0;
    }
}

inline bool isAsciiDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

// A field of a time tag as a whole number: blanks before and after the digits
// are ignored, a minus sign may stand right before them. A plus sign, any
// other character, or no digit at all make it not a number.
std::optional<int> FieldValue(QStringView field)
{
    qsizetype begin = 0;
    qsizetype end = field.size();
    while (begin < end && field[begin] == u' ')
        ++begin;
    while (end > begin && field[end - 1] == u' ')
        --end;
    bool negative = false;
    if (begin < end && field[begin] == u'-') {
        negative = true;
        ++begin;
    }
    if (begin == end)
        return std::nullopt;
    int value = 0;
    for (qsizetype i = begin; i < end; ++i) {
        const char16_t c = field[i].unicode();
        if (!isAsciiDigit(c))
            return std::nullopt;
        value = value * 10 + (c - u'0');
    }
    return negative ? -value : value;
}

} // namespace

bool isTimedLine(QStringView line)
{
    const qsizetype size = line.size();
    qsizetype i = 0;
    for (int position = 1; position <= kTagLength; ++position) {
        if (i >= size)
            return false;
        const char16_t wanted = tagCharacterAt(position);
        // A surrogate never equals one of the tag characters, so comparing the
        // first unit of the character is an exact comparison of the character.
        if (wanted != 0 && line[i].unicode() != wanted)
            return false;
        i += characterUnitsAt(line, i);
    }
    return true;
}

LyricLineParts splitLyricLine(const QString &line)
{
    if (!isTimedLine(line))
        return {QStringView(kInfoLabel).toString(), line};
    const qsizetype tagEnd = offsetOfCharacter(line, kTagLength);
    return {line.left(tagEnd), line.mid(tagEnd)};
}

std::optional<double> tagSeconds(QStringView tag)
{
    // UTF-16 offsets of characters 0 .. kTagLength (counting from 0).
    std::array<qsizetype, kTagLength + 1> offset{};
    qsizetype i = 0;
    for (int k = 0; k < kTagLength; ++k) {
        if (i >= tag.size())
            return std::nullopt;
        offset[k] = i;
        i += characterUnitsAt(tag, i);
    }
    offset[kTagLength] = i;

    const auto field = [&](int first, int last) {
        return tag.sliced(offset[first], offset[last + 1] - offset[first]);
    };
    // Characters 2-3, 5-6 and 8-9 counting from 1.
    const std::optional<int> minutes = FieldValue(field(1, 2));
    const std::optional<int> seconds = FieldValue(field(4, 5));
    const std::optional<int> hundredths = FieldValue(field(7, 8));
    if (!minutes || !seconds || !hundredths)
        return std::nullopt;
    const double whole = *minutes * 60 + *seconds;
    return whole + *hundredths / 100.0;
}

qsizetype characterCount(QStringView text)
{
    qsizetype count = 0;
    for (qsizetype i = 0; i < text.size(); i += characterUnitsAt(text, i))
        ++count;
    return count;
}

QString charactersFrom(const QString &text, qsizetype from)
{
    if (from <= 0)
        return text;
    return text.mid(offsetOfCharacter(text, from));
}

} // namespace syj
