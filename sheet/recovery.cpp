#include "sheet/recovery.h"

#include "sheet/atomicwrite.h"
#include "sheet/lyricsheetmodel.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <array>

using namespace Qt::StringLiterals;

namespace syj {

namespace {

const QString kCopyPrefix = u"copy-"_s;
const QString kCopySuffix = u".json"_s;

QString lockPathFor(const QString &copyPath)
{
    return copyPath.chopped(kCopySuffix.size()) + u".lock"_s;
}

// A lock that only a program that is gone leaves for others to take: no age
// makes a live program's lock stale.
std::unique_ptr<QLockFile> TakeLock(const QString &path)
{
    auto lock = std::make_unique<QLockFile>(path);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0))
        return nullptr;
    return lock;
}

// The aids' choices as the copy names them, in the order of their enums.
const std::array<QString, 2> kLanguageNames = {u"mandarin"_s, u"cantonese"_s};
const std::array<QString, 3> kRhymeSystemNames = {u"zhonghua-xinyun"_s, u"shisan-zhe"_s,
                                                  u"cantonese-finals"_s};

// The choices of the writing aids are helpers, not the writer's words: what
// cannot be read of them takes the defaults, and the copy is still good.
void readAidChoices(const QJsonObject &o, RecoveryCopy &copy)
{
    const QString language = o.value(u"language"_s).toString();
    for (size_t i = 0; i < kLanguageNames.size(); ++i) {
        if (language == kLanguageNames[i])
            copy.language = static_cast<aids::Language>(i);
    }
    const QString system = o.value(u"rhymeSystem"_s).toString();
    for (size_t i = 0; i < kRhymeSystemNames.size(); ++i) {
        if (system == kRhymeSystemNames[i])
            copy.rhymeSystem = static_cast<aids::RhymeSystem>(i);
    }
    const QJsonArray picks = o.value(u"readingPicks"_s).toArray();
    for (const QJsonValue &v : picks) {
        const QJsonObject p = v.toObject();
        const QJsonValue row = p.value(u"row"_s), syllable = p.value(u"syllable"_s);
        const QString line = p.value(u"line"_s).toString();
        const QString reading = p.value(u"reading"_s).toString();
        if (!row.isDouble() || !syllable.isDouble() || reading.isEmpty() ||
            (line != u"new"_s && line != u"original"_s) || row.toInt(-1) < 0 ||
            syllable.toInt(-1) < 0)
            continue;
        copy.picks.append({row.toInt(), line == u"new"_s, syllable.toInt(), reading});
    }
}

} // namespace

QByteArray encodeRecoveryCopy(const RecoveryCopy &copy)
{
    QJsonObject o;
    o.insert(u"format"_s, kRecoveryFormat);
    o.insert(u"program"_s, u"shengyunjian"_s);
    o.insert(u"lyricsFile"_s, copy.lyricsFile);
    o.insert(u"savedAt"_s, copy.savedAt.toUTC().toString(Qt::ISODateWithMs));
    o.insert(u"rows"_s, static_cast<qint64>(copy.newWords.size()));
    o.insert(u"newWords"_s, QJsonArray::fromStringList(copy.newWords));
    o.insert(u"language"_s, kLanguageNames[static_cast<size_t>(copy.language)]);
    o.insert(u"rhymeSystem"_s, kRhymeSystemNames[static_cast<size_t>(copy.rhymeSystem)]);
    QJsonArray picks;
    for (const RecoveryCopy::Pick &p : copy.picks)
        picks.append(QJsonObject{{u"row"_s, p.row},
                                 {u"line"_s, p.newWords ? u"new"_s : u"original"_s},
                                 {u"syllable"_s, p.syllable},
                                 {u"reading"_s, p.reading}});
    if (!picks.isEmpty())
        o.insert(u"readingPicks"_s, picks);
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

RecoveryCopyRead decodeRecoveryCopy(const QByteArray &bytes)
{
    RecoveryCopyRead read;
    read.status = RecoveryCopyRead::Status::Corrupt;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return read;
    const QJsonObject o = document.object();
    const QJsonValue format = o.value(u"format"_s);
    if (!format.isDouble() || format.toDouble() < 1 || format.toDouble() != format.toInt())
        return read;
    if (format.toInt() > kRecoveryFormat) {
        read.status = RecoveryCopyRead::Status::Newer;
        return read;
    }
    const QJsonValue file = o.value(u"lyricsFile"_s);
    const QJsonValue words = o.value(u"newWords"_s);
    const QJsonValue rows = o.value(u"rows"_s);
    if (!file.isString() || file.toString().isEmpty() || !words.isArray() || !rows.isDouble())
        return read;
    const QJsonArray array = words.toArray();
    if (rows.toInteger() != array.size())
        return read; // cut short or run together: not what was written
    QStringList newWords;
    newWords.reserve(array.size());
    for (const QJsonValue &w : array) {
        if (!w.isString())
            return read;
        newWords.append(w.toString());
    }
    read.copy.lyricsFile = file.toString();
    read.copy.newWords = std::move(newWords);
    read.copy.savedAt = QDateTime::fromString(o.value(u"savedAt"_s).toString(), Qt::ISODateWithMs);
    readAidChoices(o, read.copy);
    read.status = RecoveryCopyRead::Status::Ok;
    return read;
}

// ---------------------------------------------------------------------------

LeftCopy::LeftCopy(QString copyPath, std::unique_ptr<QLockFile> lock)
    : m_path(std::move(copyPath)), m_lock(std::move(lock))
{}

LeftCopy::~LeftCopy() = default;

RecoveryCopyRead LeftCopy::read() const
{
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return decodeRecoveryCopy(file.readAll());
}

void LeftCopy::remove()
{
    QFile::remove(m_path);
}

QString LeftCopy::setAside()
{
    const QFileInfo info(m_path);
    const QString aside = info.dir().filePath(
        u"set-aside-"_s + info.completeBaseName() + u'-' +
        QDateTime::currentDateTimeUtc().toString(u"yyyyMMddHHmmsszzz"_s) + kCopySuffix);
    return QFile::rename(m_path, aside) ? aside : m_path;
}

std::vector<std::unique_ptr<LeftCopy>> findLeftCopies(const QString &folder)
{
    std::vector<std::unique_ptr<LeftCopy>> left;
    const QFileInfoList copies =
        QDir(folder).entryInfoList({kCopyPrefix + u'*' + kCopySuffix}, QDir::Files, QDir::Time);
    for (const QFileInfo &copy : copies) {
        // A lock still held belongs to a program that runs: its copy is its own.
        if (std::unique_ptr<QLockFile> lock = TakeLock(lockPathFor(copy.filePath())))
            left.push_back(std::make_unique<LeftCopy>(copy.filePath(), std::move(lock)));
    }
    return left;
}

// ---------------------------------------------------------------------------

RecoveryKeeper::RecoveryKeeper(const LyricSheetModel &sheet, const QString &folder, QObject *parent)
    : QObject(parent), m_sheet(sheet), m_folder(folder),
      m_copyPath(QDir(folder).filePath(
          kCopyPrefix + QUuid::createUuid().toString(QUuid::WithoutBraces) + kCopySuffix))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    m_longest.setSingleShot(true);
    m_longest.setInterval(kLongestWaitMs);
    connect(&m_quiet, &QTimer::timeout, this, &RecoveryKeeper::writeIfDue);
    connect(&m_longest, &QTimer::timeout, this, &RecoveryKeeper::writeIfDue);
    connect(&sheet, &LyricSheetModel::dataChanged, this, &RecoveryKeeper::sheetChanged);
    connect(&sheet, &LyricSheetModel::aidChoicesChanged, this, &RecoveryKeeper::sheetChanged);
    connect(&sheet, &LyricSheetModel::modifiedChanged, this, [this](bool modified) {
        // The first unsaved words go to disk at once; saved or given up, the
        // copy goes.
        if (modified)
            writeNow();
        else
            removeCopy();
    });
}

RecoveryKeeper::~RecoveryKeeper()
{
    removeCopy();
}

void RecoveryKeeper::sheetChanged()
{
    if (!m_sheet.isModified())
        return;
    m_due = true;
    m_quiet.start();
    if (!m_longest.isActive())
        m_longest.start();
}

void RecoveryKeeper::writeIfDue()
{
    if (m_due)
        writeNow();
}

void RecoveryKeeper::writeNow()
{
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    if (!m_sheet.isModified())
        return;
    if (!m_lock) {
        QDir().mkpath(m_folder);
        m_lock = TakeLock(lockPathFor(m_copyPath));
    }
    RecoveryCopy copy;
    copy.lyricsFile = m_sheet.lyricsFile();
    copy.savedAt = QDateTime::currentDateTimeUtc();
    copy.newWords.reserve(m_sheet.count());
    for (int i = 0; i < m_sheet.count(); ++i) {
        const LyricRow &row = m_sheet.at(i);
        copy.newWords.append(row.newWords);
        for (auto [picks, isNew] : {std::pair{&row.originalPicks, false}, {&row.newPicks, true}}) {
            for (auto p = picks->cbegin(); p != picks->cend(); ++p)
                copy.picks.append({i, isNew, p.key(), p.value()});
        }
    }
    copy.language = m_sheet.songLanguage();
    copy.rhymeSystem = m_sheet.rhymeSystem();
    const std::optional<QString> failed =
        m_lock ? writeFileAtomically(m_copyPath, encodeRecoveryCopy(copy))
               : std::optional<QString>(
                     u"无法在恢复文件夹里建立锁文件：%1"_s.arg(QDir::toNativeSeparators(m_folder)));
    if (failed && *failed != m_lastFailure)
        Q_EMIT writeFailed(*failed);
    m_lastFailure = failed.value_or(QString());
    m_written = m_written || !failed;
}

void RecoveryKeeper::removeCopy()
{
    m_quiet.stop();
    m_longest.stop();
    m_due = false;
    if (m_written)
        QFile::remove(m_copyPath);
    m_written = false;
    m_lock.reset(); // unlocking removes the lock file
}

} // namespace syj
