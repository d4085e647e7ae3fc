// What makes reading or saving a file go wrong, made on purpose for the tests:
// a small disk that fills up, a limit on the size of a file, and a guard for a
// call that could block on a named pipe.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <thread>

namespace syj::test {

// A tmpfs of `bytes` mounted on a fresh folder for as long as this lives.
// Mounting needs root; where it is not allowed, isMounted() is false and
// whyNot() says why.
class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    SmallDisk(const SmallDisk &) = delete;
    SmallDisk &operator=(const SmallDisk &) = delete;

    bool isMounted() const { return m_mounted; }
    QString whyNot() const { return m_whyNot; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    // Fills the disk with a file of its own until exactly `left` bytes stay
    // free (0: the disk is full). False when that cannot be done.
    bool leaveFree(qint64 left);
    qint64 freeBytes() const;

private:
    QTemporaryDir m_dir;
    bool m_mounted = false;
    QString m_whyNot;
};

// Limits the size of every file this process writes (RLIMIT_FSIZE) for as long
// as this lives. A write past the limit fails with EFBIG instead of raising
// SIGXFSZ, which is ignored meanwhile.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit &) = delete;
    FileSizeLimit &operator=(const FileSizeLimit &) = delete;

    bool isSet() const { return m_set; }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_set = false;
};

// Makes a named pipe, or a Unix socket that nobody listens on, at `path`
// (whatever was there goes first). False when that cannot be done.
bool makePipe(const QString &path);
bool makeSocket(const QString &path);

// Guards a call that could block on the named pipe `fifo`. When the guard is
// still alive after `ms`, fired() is true from then on, and a writer comes to
// the pipe (if there is one at that name) and goes again, which lets a reader
// blocked in open() or read() go on: it sees an empty file.
class PipeWatchdog
{
public:
    explicit PipeWatchdog(const QString &fifo, int ms = 3000);
    ~PipeWatchdog();
    PipeWatchdog(const PipeWatchdog &) = delete;
    PipeWatchdog &operator=(const PipeWatchdog &) = delete;

    bool fired() const;

private:
    void watch(const QByteArray &fifo, int ms);

    mutable std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_stopped = false;
    bool m_fired = false;
    std::thread m_thread;
};

} // namespace syj::test
