// The reading tables are read in place from the program's resources: opening
// one checks its header and section bounds and decodes its few thousand
// syllables once; characters and words are found by binary search in the
// sorted arrays, with nothing parsed per entry. The layout is described at the
// top of scripts/make-reading-tables.py.
#include "aids/readingtables.h"

#include "aids/tablewords.h"

#include <QLoggingCategory>
#include <QResource>
#include <QtEndian>
#include <algorithm>
#include <atomic>
#include <optional>

using namespace Qt::StringLiterals;

namespace syj::aids {

namespace {

Q_LOGGING_CATEGORY(lcReadings, "syj.aids.readings")

std::atomic<bool> g_opened = false;

constexpr qsizetype kHeaderSize = 32;
constexpr quint16 kVersion = 2;
// The longest word the loader accepts; the word list's longest has 15 characters.
constexpr quint32 kMaxWordLength = 32;

// One language's table: characters, their readings and words.
class Table
{
public:
    bool open(const QString &path, Language language);
    QStringList character(char32_t ch) const;
    qsizetype counted(char32_t ch) const;
    QStringList word(QStringView text, qsizetype from) const;

private:
    struct WordGroup {
        quint32 length;
        quint32 count;
        const uchar *records; // `count` records of `length` code points, then `length` syllables
    };

    bool fail(const QString &path, const char *why);
    // The character's entry: first reading << 12 | readings that count << 6 | readings.
    std::optional<quint32> refOf(char32_t ch) const;
    QStringList syllablesOf(const uchar *numbers, quint32 count) const;

    QByteArray m_copy; // only when the resource was stored compressed after all
    QList<QString> m_syllables;
    const uchar *m_codes = nullptr;
    const uchar *m_refs = nullptr;
    const uchar *m_readings = nullptr;
    quint32 m_charCount = 0;
    quint32 m_readingCount = 0;
    QList<WordGroup> m_groups; // by length, ascending
};

bool Table::fail(const QString &path, const char *why)
{
    qCWarning(lcReadings, "reading table %s not usable: %s", qUtf8Printable(path), why);
    m_syllables.clear();
    m_charCount = 0;
    m_groups.clear();
    return false;
}

bool Table::open(const QString &path, Language language)
{
    QResource resource(path);
    if (!resource.isValid())
        return fail(path, "not in the resources");
    const uchar *data = resource.data();
    qint64 size = resource.size();
    if (resource.compressionAlgorithm() != QResource::NoCompression) {
        m_copy = resource.uncompressedData();
        data = reinterpret_cast<const uchar *>(m_copy.constData());
        size = m_copy.size();
    }
    if (size < kHeaderSize || memcmp(data, "SYJR", 4) != 0)
        return fail(path, "no table header");
    if (u16At(data, 2) != kVersion || u16At(data, 3) != quint16(language))
        return fail(path, "another version or language");
    const quint32 syllableCount = u32At(data, 2);
    const quint32 textBytes = u32At(data, 3);
    m_charCount = u32At(data, 4);
    m_readingCount = u32At(data, 5);
    const quint32 groupCount = u32At(data, 6);

    // Section bounds in 64 bits: a damaged count cannot wrap around.
    auto pad4 = [](qint64 n) { return (n + 3) & ~qint64(3); };
    const qint64 startsAt = kHeaderSize;
    const qint64 textAt = startsAt + 4 * (qint64(syllableCount) + 1);
    const qint64 codesAt = pad4(textAt + textBytes);
    const qint64 refsAt = codesAt + 4 * qint64(m_charCount);
    const qint64 readingsAt = refsAt + 4 * qint64(m_charCount);
    const qint64 groupsAt = pad4(readingsAt + 2 * qint64(m_readingCount));
    if (groupsAt + 12 * qint64(groupCount) > size)
        return fail(path, "sections past the end");
    m_codes = data + codesAt;
    m_refs = data + refsAt;
    m_readings = data + readingsAt;

    m_syllables.reserve(syllableCount);
    for (quint32 i = 0; i < syllableCount; ++i) {
        const quint32 start = u32At(data + startsAt, i);
        const quint32 end = u32At(data + startsAt, i + 1);
        if (start > end || end > textBytes)
            return fail(path, "syllable text out of bounds");
        m_syllables.append(
            QString::fromUtf8(reinterpret_cast<const char *>(data + textAt + start), end - start));
    }

    m_groups.reserve(groupCount);
    for (quint32 i = 0; i < groupCount; ++i) {
        const uchar *g = data + groupsAt + 12 * qint64(i);
        const quint32 length = u32At(g, 0), count = u32At(g, 1), at = u32At(g, 2);
        if (length == 0 || length > kMaxWordLength ||
            (!m_groups.isEmpty() && length <= m_groups.last().length))
            return fail(path, "word lengths out of order");
        if (at + 6 * qint64(length) * count > size)
            return fail(path, "words past the end");
        m_groups.append({length, count, data + at});
    }
    return true;
}

QStringList Table::syllablesOf(const uchar *numbers, quint32 count) const
{
    QStringList out;
    out.reserve(count);
    for (quint32 i = 0; i < count; ++i) {
        const quint16 n = u16At(numbers, i);
        if (n >= m_syllables.size())
            return {};
        out.append(m_syllables.at(n));
    }
    return out;
}

std::optional<quint32> Table::refOf(char32_t ch) const
{
    quint32 lo = 0, hi = m_charCount;
    while (lo < hi) {
        const quint32 mid = lo + (hi - lo) / 2;
        if (u32At(m_codes, mid) < ch)
            lo = mid + 1;
        else
            hi = mid;
    }
    if (lo == m_charCount || u32At(m_codes, lo) != ch)
        return std::nullopt;
    const quint32 ref = u32At(m_refs, lo);
    if (qint64(ref >> 12) + (ref & 0x3f) > m_readingCount)
        return std::nullopt;
    return ref;
}

QStringList Table::character(char32_t ch) const
{
    const auto ref = refOf(ch);
    if (!ref)
        return {};
    return syllablesOf(m_readings + 2 * qint64(*ref >> 12), *ref & 0x3f);
}

qsizetype Table::counted(char32_t ch) const
{
    const auto ref = refOf(ch);
    if (!ref)
        return 0;
    // A damaged count is clamped into the readings there are, and the usual one counts.
    const quint32 all = *ref & 0x3f, counted = (*ref >> 6) & 0x3f;
    return all == 0 ? 0 : std::clamp<quint32>(counted, 1, all);
}

QStringList Table::word(QStringView text, qsizetype from) const
{
    if (m_groups.isEmpty() || from < 0 || from >= text.size() || text.at(from).isLowSurrogate())
        return {};
    // The characters from `from` on, as many as the longest word has.
    char32_t chars[kMaxWordLength];
    quint32 n = 0;
    for (qsizetype i = from; i < text.size() && n < m_groups.last().length; ++i) {
        const QChar c = text.at(i);
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            chars[n++] = QChar::surrogateToUcs4(c, text.at(i + 1));
            ++i;
        } else if (c.isSurrogate()) {
            break; // a broken pair is in no word
        } else {
            chars[n++] = c.unicode();
        }
    }
    // Longest first: compare the first L characters with each group's sorted records.
    for (auto group = m_groups.crbegin(); group != m_groups.crend(); ++group) {
        const quint32 length = group->length;
        if (length > n)
            continue;
        const qint64 recordSize = 6 * qint64(length);
        auto compare = [&](quint32 index) {
            const uchar *record = group->records + recordSize * index;
            for (quint32 k = 0; k < length; ++k) {
                const quint32 code = u32At(record, k);
                if (code != chars[k])
                    return code < chars[k] ? -1 : 1;
            }
            return 0;
        };
        quint32 lo = 0, hi = group->count;
        while (lo < hi) {
            const quint32 mid = lo + (hi - lo) / 2;
            const int c = compare(mid);
            if (c == 0)
                return syllablesOf(group->records + recordSize * mid + 4 * length, length);
            if (c < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
    }
    return {};
}

// The English words: sorted ASCII words and their syllable counts.
class EnglishTable
{
public:
    void open(const QString &path)
    {
        QResource resource(path);
        const uchar *data = resource.data();
        const qint64 size = resource.isValid() && data ? resource.size() : 0;
        if (resource.isValid() && resource.compressionAlgorithm() != QResource::NoCompression) {
            qCWarning(lcReadings, "English table %s is compressed", qUtf8Printable(path));
            return;
        }
        if (size < 16 || memcmp(data, "SYJE", 4) != 0 || u16At(data, 2) != 1) {
            qCWarning(lcReadings, "English table %s not usable", qUtf8Printable(path));
            return;
        }
        const quint32 count = u32At(data, 2), textBytes = u32At(data, 3);
        const qint64 textAt = 16 + 4 * (qint64(count) + 1);
        const qint64 countsAt = (textAt + textBytes + 3) & ~qint64(3);
        if (countsAt + count > size || u32At(data + 16, count) > textBytes) {
            qCWarning(lcReadings, "English table %s: sections past the end", qUtf8Printable(path));
            return;
        }
        m_starts = data + 16;
        m_text = data + textAt;
        m_counts = data + countsAt;
        m_count = count;
    }

    int syllables(QStringView word) const
    {
        QByteArray key;
        key.reserve(word.size());
        for (QChar c : word) {
            if (c.unicode() < u'a' || c.unicode() > u'z')
                return 0;
            key.append(char(c.unicode()));
        }
        quint32 lo = 0, hi = m_count;
        while (lo < hi) {
            const quint32 mid = lo + (hi - lo) / 2;
            const quint32 start = u32At(m_starts, mid), end = u32At(m_starts, mid + 1);
            if (end < start)
                return 0; // damaged: no word is found
            const QByteArrayView here(reinterpret_cast<const char *>(m_text + start), end - start);
            const int c = here.compare(key);
            if (c == 0)
                return m_counts[mid];
            if (c < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        return 0;
    }

private:
    const uchar *m_starts = nullptr;
    const uchar *m_text = nullptr;
    const uchar *m_counts = nullptr;
    quint32 m_count = 0;
};

} // namespace

struct ReadingTables::Data {
    Table mandarin;
    Table cantonese;
    EnglishTable english;
    Data()
    {
        mandarin.open(u":/aids/readings/mandarin.bin"_s, Language::Mandarin);
        cantonese.open(u":/aids/readings/cantonese.bin"_s, Language::Cantonese);
        english.open(u":/aids/readings/english.bin"_s);
    }
};

ReadingTables::ReadingTables() : m_data(new Data) {}

const ReadingTables &ReadingTables::instance()
{
    static const ReadingTables tables;
    g_opened.store(true, std::memory_order_release);
    return tables;
}

bool ReadingTables::opened()
{
    return g_opened.load(std::memory_order_acquire);
}

QStringList ReadingTables::characterReadings(char32_t ch, Language language) const
{
    return language == Language::Mandarin ? m_data->mandarin.character(ch)
                                          : m_data->cantonese.character(ch);
}

qsizetype ReadingTables::countedReadings(char32_t ch, Language language) const
{
    return language == Language::Mandarin ? m_data->mandarin.counted(ch)
                                          : m_data->cantonese.counted(ch);
}

int ReadingTables::englishSyllables(QStringView word) const
{
    return m_data->english.syllables(word);
}

QStringList ReadingTables::wordReadings(QStringView text, qsizetype from, Language language) const
{
    return language == Language::Mandarin ? m_data->mandarin.word(text, from)
                                          : m_data->cantonese.word(text, from);
}

} // namespace syj::aids
