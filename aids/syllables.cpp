#include "aids/syllables.h"

#include "aids/readingtables.h"

#include <QChar>
#include <QRegularExpression>
#include <QStringList>

using namespace Qt::StringLiterals;

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

// The syllables of a word of letters: the dictionary's count, else its groups
// of vowels; 2-5 capitals the dictionary does not know, one per letter (W: 3).
// A word with other than ASCII letters and apostrophes is one.
int wordSyllables(QStringView word)
{
    QString lower;
    bool capitals = true;
    int letters = 0;
    for (QChar c : word) {
        if (c == u'\'' || c == u'\u2019')
            continue;
        if (c.unicode() >= 128 || !c.isLetter())
            return 1;
        capitals = capitals && c.isUpper();
        lower += c.toLower();
        ++letters;
    }
    const int known = ReadingTables::instance().englishSyllables(lower);
    if (capitals && letters >= 2 && letters <= 5 && known == 0) {
        int n = 0;
        for (QChar c : lower)
            n += c == u'w' ? 3 : 1;
        return n;
    }
    if (known > 0)
        return known;
    // The vowel-group rule, as scripts/make-reading-tables.py applies it.
    int groups = 0;
    bool inGroup = false;
    for (QChar c : lower) {
        const bool vowel = QStringView(u"aeiouy").contains(c);
        groups += vowel && !inGroup;
        inGroup = vowel;
    }
    if (groups > 1 && lower.endsWith(u'e') && !lower.endsWith(u"le"))
        --groups;
    return std::max(1, groups);
}

// A whole number as it is said in Chinese: 100 一百, 24 二十四, 10 十, 105
// 一百零五, 20000 两万 is written 二万 (one syllable all the same).
QString chineseAmount(const QList<int> &digits)
{
    static const QStringView numerals = u"零一二三四五六七八九";
    static const QStringView places = u"千百十";
    static const QStringView groups = u"万亿";
    QString out;
    const qsizetype n = digits.size();
    bool zero = false;
    for (qsizetype i = 0; i < n; ++i) {
        const qsizetype fromEnd = n - 1 - i; // the digit's place, 0 for the units
        const int d = digits[i];
        const int place = int(fromEnd % 4); // 0 units, 1 tens, 2 hundreds, 3 thousands
        if (d == 0) {
            zero = !out.isEmpty();
        } else {
            if (zero)
                out += numerals[0];
            zero = false;
            // 十 alone says 10-19 at the start: 十五, not 一十五.
            if (!(d == 1 && place == 1 && out.isEmpty()))
                out += numerals[d];
            if (place > 0)
                out += places[3 - place];
        }
        if (place == 0 && fromEnd > 0) {
            // The end of a group of four: 万 or 亿 after a group that has a digit.
            bool any = false;
            for (qsizetype k = std::max<qsizetype>(0, i - 3); k <= i; ++k)
                any = any || digits[k] != 0;
            if (any)
                out += groups[int(fromEnd / 4 - 1) % 2];
            zero = zero && any;
        }
    }
    return out.isEmpty() ? numerals.mid(0, 1).toString() : out;
}

// The stage notes a sheet puts in brackets: not sung.
bool isStageNote(QStringView inside)
{
    static const QStringList notes = {
        u"合"_s,         u"合唱"_s,   u"男"_s,       u"女"_s,    u"男女"_s,        u"男女合"_s,
        u"独白"_s,       u"念白"_s,   u"白"_s,       u"和声"_s,  u"伴唱"_s,        u"重复"_s,
        u"副歌"_s,       u"间奏"_s,   u"前奏"_s,     u"尾奏"_s,  u"repeat"_s,      u"chorus"_s,
        u"verse"_s,      u"bridge"_s, u"intro"_s,    u"outro"_s, u"interlude"_s,   u"hook"_s,
        u"pre-chorus"_s, u"rap"_s,    u"合唱部分"_s, u"music"_s, u"instrumental"_s};
    QString note = inside.trimmed().toString().toLower();
    // "Chorus x2", "(合) ×2": the note with a repeat mark after it.
    static const QRegularExpression repeat(u"\\s*[x×*]\\s*\\d+$"_s);
    note.remove(repeat);
    if (note.endsWith(u'：') || note.endsWith(u':'))
        note.chop(1);
    for (const QString &n : notes) {
        if (note == n || (note.startsWith(n) && note.size() <= n.size() + 2 &&
                          note.mid(n.size()).trimmed().toInt() > 0))
            return true;
    }
    return false;
}

// The line without what is not sung: a role label at its start (男：, 女:,
// 合:), stage notes in brackets ((合), （Repeat）, [Chorus]) and repeat marks
// (x2, ×3).
QString withoutStageText(const QString &line)
{
    QString out = line;
    // A role label: a singer's part (男, 女, 合, 甲, A ...) and a colon; 我说：
    // is sung.
    static const QRegularExpression label(u"^\\s*(\\p{L}{1,4})\\s*[:：]"_s);
    const QRegularExpressionMatch m = label.match(out);
    static const QStringList roles = {u"独唱"_s, u"领唱"_s, u"甲"_s, u"乙"_s, u"a"_s, u"b"_s};
    if (m.hasMatch() && (isStageNote(m.capturedView(1)) || roles.contains(m.captured(1).toLower())))
        out.remove(0, m.capturedLength());
    static const QRegularExpression brackets(u"[(（\\[【]([^()（）\\[\\]【】]{1,20})[)）\\]】]"_s);
    for (qsizetype from = 0;;) {
        const QRegularExpressionMatch b = brackets.match(out, from);
        if (!b.hasMatch())
            break;
        if (isStageNote(b.capturedView(1))) {
            out.replace(b.capturedStart(), b.capturedLength(), u" "_s);
            from = b.capturedStart() + 1;
        } else {
            from = b.capturedEnd();
        }
    }
    static const QRegularExpression repeat(
        u"(^|[^A-Za-z0-9])[xX×*]\\s?\\d{1,2}(?=$|[^A-Za-z0-9])"_s);
    out.replace(repeat, u"\\1 "_s);
    return out;
}

} // namespace

QList<Syllable> sungSyllables(QStringView line)
{
    const QString text = withoutStageText(withoutWordTags(line));
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
                // One syllable per sung syllable of the word, each with the word.
                const QString word = QString::fromUcs4(
                    reinterpret_cast<const char32_t *>(cps.constData() + i), j - i);
                const int count = wordSyllables(word);
                for (int k = 0; k < count; ++k)
                    out.append({Syllable::Kind::Word, word});
                i = j;
                continue;
            }
            // A number: a decimal part and a percent sign go with it.
            QList<int> digits;
            for (qsizetype k = i; k < j; ++k)
                digits.append(QChar::digitValue(cps[k]));
            qsizetype end = j;
            QList<int> decimals;
            if (end + 1 < n && (cps[end] == U'.' || cps[end] == U'．') && isDigit(cps[end + 1])) {
                for (end = end + 1; end < n && isDigit(cps[end]); ++end)
                    decimals.append(QChar::digitValue(cps[end]));
            }
            const bool percent = end < n && (cps[end] == U'%' || cps[end] == U'％');
            const bool year = end < n && cps[end] == U'年';
            // A year, a number with a leading zero or a very long one is sung
            // digit by digit; any other as a Chinese amount.
            if ((digits.size() == 4 && decimals.isEmpty() && !percent) || year ||
                (digits.size() > 1 && digits.front() == 0) || digits.size() > 12) {
                for (qsizetype k = i; k < j; ++k)
                    emit(Syllable::Kind::Digit, k, 1);
                i = j;
                continue;
            }
            QString said = percent ? u"百分之"_s : QString();
            said += chineseAmount(digits);
            if (!decimals.isEmpty()) {
                static const QStringView numerals = u"零一二三四五六七八九";
                said += u'点';
                for (int d : std::as_const(decimals))
                    said += numerals[d];
            }
            for (QChar numeral : std::as_const(said))
                out.append({Syllable::Kind::Han, QString(numeral)});
            i = percent ? end + 1 : end;
        } else {
            ++i;
        }
    }
    return out;
}

} // namespace syj::aids
