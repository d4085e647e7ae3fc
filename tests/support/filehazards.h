// Files that make reading or saving go wrong, made on purpose: a small disk
// that fills up, a limit on the size of a file, pipes and sockets, and a guard
// for a call that could wait on a pipe forever.
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <atomic>
#include <sys/resource.h>
#include <thread>

namespace syj::test {

// A tmpfs of `bytes` mounted on a fresh folder while this lives. Where
// mounting is not allowed, isMounted() is false and whyNot() says why.
class SmallDisk
{
public:
    explicit SmallDisk(qint64 bytes);
    ~SmallDisk();
    bool isMounted() const { return m_whyNot.isEmpty(); }
    QString whyNot() const { return m_whyNot; }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }
    // Fills the disk until exactly `left` bytes (whole pages) stay free.
    bool leaveFree(qint64 left);

private:
    QTemporaryDir m_dir;
    QString m_whyNot;
};

// While this lives, a write that makes any file of this process larger than
// `bytes` fails with EFBIG (RLIMIT_FSIZE, SIGXFSZ ignored).
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();

private:
    rlimit m_old{};
};

// A named pipe, or a Unix socket nobody listens on, in place of what was at `path`.
bool makePipe(const QString &path);
bool makeSocket(const QString &path);

// When this still lives after three seconds, fired() turns true and a writer
// keeps coming to the pipe at `path` (if it is one) and going again, which
// lets a reader waiting in open() or read() go on: it reads an empty file.
class PipeWatchdog
{
public:
    explicit PipeWatchdog(const QString &path);
    bool fired() const { return m_fired; }

private:
    std::atomic<bool> m_fired = false;
    std::jthread m_thread;
};

} // namespace syj::test
