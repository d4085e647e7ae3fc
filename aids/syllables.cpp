#include "aids/syllables.h"

#include <QChar>

namespace syj::aids {

namespace {

bool isDigit(char32_t c)
{
    return QChar::category(c) == QChar::Number_DecimalDigit;
}

bool isApostrophe(char32_t c)
{
    return c == U'\'' || c == U'\u2019';
}

// A letter or digit that starts a word of letters (a Han character, Hangul
// syllable or kana is a syllable of its own, see ownSyllable()).
bool isWordStart(char32_t c)
{
    const auto category = QChar::category(c);
    return QChar::isLetter(c) || category == QChar::Number_DecimalDigit;
}

// What a word of letters goes on with: letters, digits and marks (accents).
bool isWordPart(char32_t c)
{
    return isWordStart(c) || QChar::isMark(c);
}

std::optional<Syllable::Kind> ownSyllable(char32_t c)
{
    if (c == U'\u3007' || c == U'\u3005' || QChar::script(c) == QChar::Script_Han)
        return QChar::isLetter(c) || c == U'\u3007' || c == U'\u3005'
                   ? std::optional(Syllable::Kind::Han)
                   : std::nullopt; // Han punctuation and radicals are not sung
    if (c >= 0xAC00 && c <= 0xD7A3)
        return Syllable::Kind::Hangul;
    const auto script = QChar::script(c);
    if ((script == QChar::Script_Hiragana || script == QChar::Script_Katakana) &&
        QChar::isLetter(c))
        return Syllable::Kind::Kana;
    return std::nullopt;
}

// The line without its word-time tags: '<', digits, ':', digits, optionally
// '.' or ':' and digits, '>'.
QString withoutWordTags(QStringView line)
{
    QString out;
    out.reserve(line.size());
    qsizetype i = 0;
    while (i < line.size()) {
        if (line[i] == u'<') {
            qsizetype j = i + 1;
            const auto digits = [&] {
                const qsizetype from = j;
                while (j < line.size() && line[j].isDigit() && line[j].unicode() < 128)
                    ++j;
                return j > from;
            };
            bool tag = digits() && j < line.size() && line[j] == u':' && (++j, digits());
            if (tag && j < line.size() && (line[j] == u'.' || line[j] == u':'))
                tag = (++j, digits());
            if (tag && j < line.size() && line[j] == u'>') {
                i = j + 1;
                continue;
            }
        }
        out += line[i++];
    }
    return out;
}

} // namespace

QList<Syllable> sungSyllables(QStringView line)
{
    const QString text = withoutWordTags(line);
    const QList<uint> cps = text.toUcs4();
    QList<Syllable> out;
    const auto emit = [&out, &cps](Syllable::Kind kind, qsizetype from, qsizetype length) {
        out.append({kind, QString::fromUcs4(
                              reinterpret_cast<const char32_t *>(cps.constData() + from), length)});
    };
    const qsizetype n = cps.size();
    qsizetype i = 0;
    while (i < n) {
        const char32_t c = cps[i];
        if (const auto kind = ownSyllable(c)) {
            emit(*kind, i, 1);
            ++i;
        } else if (isWordStart(c)) {
            // A run of letters, marks and digits, joined by inner apostrophes.
            qsizetype j = i;
            bool letters = false;
            while (j < n) {
                const char32_t d = cps[j];
                if (isWordPart(d) && !ownSyllable(d)) {
                    letters = letters || !isDigit(d);
                    ++j;
                } else if (isApostrophe(d) && j > i && j + 1 < n && isWordPart(cps[j + 1]) &&
                           !ownSyllable(cps[j + 1])) {
                    ++j;
                } else {
                    break;
                }
            }
            if (letters) {
                emit(Syllable::Kind::Word, i, j - i);
            } else {
                for (qsizetype k = i; k < j; ++k)
                    emit(Syllable::Kind::Digit, k, 1);
            }
            i = j;
        } else {
            ++i;
        }
    }
    return out;
}

} // namespace syj::aids
