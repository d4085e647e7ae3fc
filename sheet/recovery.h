// The recovery copy: while the sheet has unsaved new words, the program keeps a
// copy of them in a folder of its own, so that a crash, a kill or a power cut
// loses none of them. The copy is removed when the words are saved or given
// up and when the program ends normally; a copy found at start-up belongs to a
// program that did not, and is offered back.
//
// Each running program writes its own copy, named by an id of its own, and
// holds a lock file beside it while it runs: programs running at once never
// touch each other's copy, and a copy whose lock is held is nobody's to offer.
#pragma once

#include "aids/lineanalysis.h"

#include <QDateTime>
#include <QLockFile>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <memory>
#include <optional>
#include <vector>

namespace syj {

class LyricSheetModel;

// The format a copy is written in. A copy in a newer format is set aside, not
// read as something it is not.
inline constexpr int kRecoveryFormat = 1;

struct RecoveryCopy {
    QString lyricsFile;   // the original lyric file the rows were loaded from
    QStringList newWords; // one per row, in order
    QDateTime savedAt;
    // The writing aids' choices. A copy without them (or with values this
    // program does not know) takes the defaults.
    aids::Language language = aids::Language::Mandarin;
    aids::RhymeSystem rhymeSystem = aids::RhymeSystem::ZhonghuaXinyun;
    struct Pick {
        int row = 0;
        bool newWords = true; // else the original's
        int syllable = 0;
        QString reading;
        bool operator==(const Pick &) const = default;
    };
    QList<Pick> picks;

    bool operator==(const RecoveryCopy &) const = default;
};

// The bytes of a copy (JSON, UTF-8).
QByteArray encodeRecoveryCopy(const RecoveryCopy &copy);

struct RecoveryCopyRead {
    enum class Status { Ok, Unreadable, Corrupt, Newer };
    Status status = Status::Unreadable;
    RecoveryCopy copy;
};

RecoveryCopyRead decodeRecoveryCopy(const QByteArray &bytes);

// A copy left by a program that ended without removing it. While this object
// lives its lock is held, so that no other program offers the same copy.
class LeftCopy
{
public:
    LeftCopy(QString copyPath, std::unique_ptr<QLockFile> lock);
    ~LeftCopy();

    QString path() const { return m_path; }
    RecoveryCopyRead read() const;
    // The copy was restored or given up: it goes.
    void remove();
    // The copy cannot be read: it is moved beside, under a name that is never
    // offered again. Returns where it went.
    QString setAside();

private:
    QString m_path;
    std::unique_ptr<QLockFile> m_lock;
};

// Copies in `folder` that no running program holds, newest first.
std::vector<std::unique_ptr<LeftCopy>> findLeftCopies(const QString &folder);

// Keeps this program's copy of the sheet in `folder`: the first unsaved words
// are written at once, later changes a second after typing stops (at most two
// seconds while typing goes on), and at once when writeIfDue() is called (the
// focus moved). The copy goes when the sheet has nothing unsaved any more, and
// when the keeper goes (the program ends normally).
class RecoveryKeeper : public QObject
{
    Q_OBJECT
public:
    static constexpr int kQuietMs = 1000;
    static constexpr int kLongestWaitMs = 2000;

    RecoveryKeeper(const LyricSheetModel &sheet, const QString &folder, QObject *parent = nullptr);
    ~RecoveryKeeper() override;

    QString copyPath() const { return m_copyPath; }
    // Writes a change not written yet, now.
    void writeIfDue();
    // Writes the copy now (the benchmark measures this).
    void writeNow();

Q_SIGNALS:
    // The copy could not be written; the reason is the system's.
    void writeFailed(const QString &reason);

private:
    void sheetChanged();
    void removeCopy();

    const LyricSheetModel &m_sheet;
    QString m_folder;
    QString m_copyPath;
    std::unique_ptr<QLockFile> m_lock;
    QTimer m_quiet;
    QTimer m_longest;
    bool m_due = false;
    bool m_written = false;
    QString m_lastFailure;
};

} // namespace syj
