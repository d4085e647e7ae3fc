// The word tables are read in place from the program's resources, like the
// reading tables: opening one checks its header and section bounds and
// decodes its few thousand syllables. A search walks the class patterns that
// fit the place, takes each pattern's words from the index (word numbers are
// frequency ranks) and keeps the most frequent. The layout is described at the
// top of scripts/make-reading-tables.py.
#include "aids/wordfinder.h"

#include "aids/tablewords.h"

#include <QLoggingCategory>
#include <QResource>
#include <QtEndian>
#include <algorithm>
#include <array>
#include <atomic>
#include <vector>

using namespace Qt::StringLiterals;

namespace syj::aids {

namespace {

Q_LOGGING_CATEGORY(lcWords, "syj.aids.words")

std::atomic<bool> g_opened = false;

constexpr qsizetype kHeaderSize = 24;
constexpr quint16 kVersion = 1;
constexpr int kClasses = 4;

// The class numbers the tables index by, of the classes toneClass() names.
int classNumber(QStringView cls, Language language)
{
    static const std::array<QStringView, kClasses> mandarin = {u"平", u"仄", u"轻", u""};
    static const std::array<QStringView, kClasses> cantonese = {u"0", u"2", u"3", u"4"};
    const auto &names = language == Language::Mandarin ? mandarin : cantonese;
    for (int i = 0; i < kClasses; ++i) {
        if (!names[static_cast<size_t>(i)].isEmpty() && names[static_cast<size_t>(i)] == cls)
            return i;
    }
    return -1;
}

// One language's words.
class Table
{
public:
    bool open(const QString &path, Language language);
    WordsFound find(const WordSearch &search) const;
    qsizetype count(int length) const;
    FoundWord word(int length, qsizetype index) const;

private:
    struct Length {
        quint32 count = 0;
        const uchar *records = nullptr;  // `count` records of L code points, then L syllables
        const uchar *patterns = nullptr; // 4^L + 1 starts into `numbers`
        const uchar *numbers = nullptr;  // word numbers by pattern
    };

    bool fail(const QString &path, const char *why);
    const uchar *record(int length, quint32 index) const
    {
        return m_lengths[static_cast<size_t>(length - 1)].records + 6 * qint64(length) * index;
    }

    Language m_language = Language::Mandarin;
    QList<QString> m_syllables;
    std::array<Length, WordTables::kMaxSyllables> m_lengths{};
};

bool Table::fail(const QString &path, const char *why)
{
    qCWarning(lcWords, "word table %s not usable: %s", qUtf8Printable(path), why);
    m_syllables.clear();
    m_lengths = {};
    return false;
}

bool Table::open(const QString &path, Language language)
{
    m_language = language;
    QResource resource(path);
    if (!resource.isValid() || resource.compressionAlgorithm() != QResource::NoCompression)
        return fail(path, "not in the resources, or compressed");
    const uchar *data = resource.data();
    const qint64 size = resource.size();
    if (size < kHeaderSize || memcmp(data, "SYJW", 4) != 0)
        return fail(path, "no table header");
    if (u16At(data, 2) != kVersion || u16At(data, 3) != quint16(language))
        return fail(path, "another version or language");
    const quint32 syllableCount = u32At(data, 2);
    const quint32 textBytes = u32At(data, 3);
    const quint32 lengthCount = u32At(data, 4);
    if (lengthCount > quint32(WordTables::kMaxSyllables))
        return fail(path, "words too long");
    const qint64 startsAt = kHeaderSize;
    const qint64 textAt = startsAt + 4 * (qint64(syllableCount) + 1);
    const qint64 groupsAt = (textAt + textBytes + 3) & ~qint64(3);
    if (groupsAt + 16 * qint64(lengthCount) > size)
        return fail(path, "sections past the end");

    m_syllables.reserve(syllableCount);
    for (quint32 i = 0; i < syllableCount; ++i) {
        const quint32 start = u32At(data + startsAt, i);
        const quint32 end = u32At(data + startsAt, i + 1);
        if (start > end || end > textBytes)
            return fail(path, "syllable text out of bounds");
        m_syllables.append(
            QString::fromUtf8(reinterpret_cast<const char *>(data + textAt + start), end - start));
    }
    for (quint32 i = 0; i < lengthCount; ++i) {
        const uchar *g = data + groupsAt + 16 * qint64(i);
        const quint32 length = u32At(g, 0), count = u32At(g, 1);
        const qint64 recordsAt = u32At(g, 2), indexAt = u32At(g, 3);
        if (length != i + 1)
            return fail(path, "word lengths out of order");
        qint64 patterns = 1;
        for (quint32 k = 0; k < length; ++k)
            patterns *= kClasses;
        if (recordsAt + 6 * qint64(length) * count > size ||
            indexAt + 4 * (patterns + 1 + qint64(count)) > size)
            return fail(path, "words past the end");
        const uchar *starts = data + indexAt;
        if (u32At(starts, patterns) > count)
            return fail(path, "index past the end");
        m_lengths[i] = {count, data + recordsAt, starts, starts + 4 * (patterns + 1)};
    }
    return true;
}

qsizetype Table::count(int length) const
{
    if (length < 1 || length > WordTables::kMaxSyllables)
        return 0;
    return m_lengths[static_cast<size_t>(length - 1)].count;
}

FoundWord Table::word(int length, qsizetype index) const
{
    if (index < 0 || index >= count(length))
        return {};
    const uchar *r = record(length, quint32(index));
    FoundWord w;
    for (int k = 0; k < length; ++k) {
        const char32_t code = u32At(r, k);
        const quint16 syllable = u16At(r + 4 * length, k);
        if (syllable >= m_syllables.size() || code > 0x10ffff || QChar::isSurrogate(code))
            return {}; // a damaged record
        w.text += QStringView(QChar::fromUcs4(code));
        w.reading.append(m_syllables.at(syllable));
    }
    return w;
}

WordsFound Table::find(const WordSearch &search) const
{
    WordsFound found;
    const int length = static_cast<int>(search.classes.size());
    if (length < 1 || length > WordTables::kMaxSyllables || count(length) == 0)
        return found;
    const Length &words = m_lengths[static_cast<size_t>(length - 1)];

    // The classes each syllable of a word may have there, as bits.
    std::array<unsigned, WordTables::kMaxSyllables> allowed{};
    const int light = m_language == Language::Mandarin ? classNumber(u"轻", m_language) : -1;
    for (int k = 0; k < length; ++k) {
        unsigned bits = 0;
        bool any = search.classes[k].isEmpty();
        for (const QString &cls : search.classes[k]) {
            if (cls.isEmpty() || cls == u"轻")
                any = true;
            const int n = classNumber(cls, m_language);
            if (n >= 0)
                bits |= 1u << n;
        }
        // A neutral tone in the word fits any note.
        if (light >= 0)
            bits |= 1u << light;
        allowed[static_cast<size_t>(k)] = any ? (1u << kClasses) - 1 : bits;
    }

    // The syllables that keep the rhyme, when it is asked for.
    std::vector<bool> rhymes;
    if (!search.rhyme.isEmpty()) {
        rhymes.resize(static_cast<size_t>(m_syllables.size()));
        for (qsizetype s = 0; s < m_syllables.size(); ++s)
            rhymes[static_cast<size_t>(s)] =
                rhymeGroup(m_syllables[s], search.system) == search.rhyme;
    }
    QList<char32_t> wanted;
    for (char32_t c : search.characters.toUcs4()) {
        if (!QChar::isSpace(c))
            wanted.append(c);
    }
    if (search.startsWith && wanted.size() > length)
        return found;

    const auto keeps = [&](quint32 number) {
        const uchar *r = record(length, number);
        if (!rhymes.empty()) {
            const quint16 last = u16At(r + 4 * length, length - 1);
            if (last >= rhymes.size() || !rhymes[last])
                return false;
        }
        if (search.startsWith) {
            for (qsizetype k = 0; k < wanted.size(); ++k) {
                if (u32At(r, k) != wanted[k])
                    return false;
            }
        } else {
            for (char32_t c : wanted) {
                bool in = false;
                for (int k = 0; k < length && !in; ++k)
                    in = u32At(r, k) == c;
                if (!in)
                    return false;
            }
        }
        return true;
    };

    // Every pattern of classes the place takes, and its words.
    std::vector<quint32> hits;
    int patterns = 1;
    for (int k = 0; k < length; ++k)
        patterns *= kClasses;
    for (int pattern = 0; pattern < patterns; ++pattern) {
        bool fits = true;
        for (int k = 0, p = pattern; k < length && fits; ++k, p /= kClasses)
            fits = allowed[static_cast<size_t>(k)] & (1u << (p % kClasses));
        if (!fits)
            continue;
        const quint32 begin = u32At(words.patterns, pattern);
        const quint32 end = std::min(u32At(words.patterns, pattern + 1), words.count);
        for (quint32 i = begin; i < end; ++i) {
            const quint32 number = u32At(words.numbers, i);
            if (number < words.count && keeps(number))
                hits.push_back(number);
        }
    }
    found.count = static_cast<qsizetype>(hits.size());
    const auto shown =
        hits.begin() + std::clamp<qsizetype>(search.limit, 0, static_cast<qsizetype>(hits.size()));
    std::partial_sort(hits.begin(), shown, hits.end());
    found.words.reserve(shown - hits.begin());
    for (auto it = hits.begin(); it != shown; ++it)
        found.words.append(word(length, *it));
    return found;
}

} // namespace

struct WordTables::Data {
    Table mandarin;
    Table cantonese;
    const Table &of(Language language) const
    {
        return language == Language::Mandarin ? mandarin : cantonese;
    }
};

WordTables::WordTables() : m_data(new Data)
{
    m_data->mandarin.open(u":/aids/words/mandarin-words.bin"_s, Language::Mandarin);
    m_data->cantonese.open(u":/aids/words/cantonese-words.bin"_s, Language::Cantonese);
}

WordTables::~WordTables()
{
    delete m_data;
}

const WordTables &WordTables::instance()
{
    static const WordTables tables;
    g_opened.store(true, std::memory_order_release);
    return tables;
}

bool WordTables::opened()
{
    return g_opened.load(std::memory_order_acquire);
}

WordsFound WordTables::find(const WordSearch &search) const
{
    return m_data->of(search.language).find(search);
}

qsizetype WordTables::wordCount(Language language, int syllables) const
{
    return m_data->of(language).count(syllables);
}

FoundWord WordTables::word(Language language, int syllables, qsizetype index) const
{
    return m_data->of(language).word(syllables, index);
}

} // namespace syj::aids
