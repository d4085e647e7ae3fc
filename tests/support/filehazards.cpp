#include "support/filehazards.h"

#include <QFile>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace syj::test {

SmallDisk::SmallDisk(qint64 bytes)
{
    if (!m_dir.isValid()) {
        m_whyNot = u"no temporary folder"_s;
        return;
    }
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        m_whyNot = u"cannot mount a tmpfs here: "_s + QString::fromLocal8Bit(std::strerror(errno));
        return;
    }
    m_mounted = true;
}

SmallDisk::~SmallDisk()
{
    if (m_mounted)
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

qint64 SmallDisk::freeBytes() const
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(m_dir.path()).constData(), &fs) != 0)
        return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

bool SmallDisk::leaveFree(qint64 left)
{
    const qint64 room = freeBytes();
    if (!m_mounted || room < left)
        return false;
    QFile filler(filePath(u".filler"_s));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered))
        return false;
    // Free room is counted in whole pages: `left` is a multiple of the page size.
    const QByteArray bytes(room - left, 'f');
    filler.write(bytes);
    filler.close();
    return freeBytes() == left;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    if (::getrlimit(RLIMIT_FSIZE, &m_old) != 0)
        return;
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_old;
    limit.rlim_cur = rlim_t(bytes);
    m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
}

FileSizeLimit::~FileSizeLimit()
{
    if (m_set)
        ::setrlimit(RLIMIT_FSIZE, &m_old);
    std::signal(SIGXFSZ, m_oldHandler);
}

bool makePipe(const QString &path)
{
    QFile::remove(path);
    return ::mkfifo(QFile::encodeName(path).constData(), 0600) == 0;
}

bool makeSocket(const QString &path)
{
    QFile::remove(path);
    const QByteArray name = QFile::encodeName(path);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (size_t(name.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, name.constData(), size_t(name.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // The socket file stays at its name after the socket is closed.
    const bool bound =
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

PipeWatchdog::PipeWatchdog(const QString &fifo, int ms)
    : m_thread(&PipeWatchdog::watch, this, QFile::encodeName(fifo), ms)
{}

PipeWatchdog::~PipeWatchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_done.notify_all();
    m_thread.join();
}

bool PipeWatchdog::fired() const
{
    std::lock_guard lock(m_mutex);
    return m_fired;
}

void PipeWatchdog::watch(const QByteArray &fifo, int ms)
{
    std::unique_lock lock(m_mutex);
    if (m_done.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stopped; }))
        return;
    m_fired = true;
    // A writer that comes and goes wakes a reader waiting in open() or read().
    // Opening fails (ENXIO) until the reader has the pipe open: try again.
    while (!m_done.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_stopped; })) {
        struct stat st {};
        if (::stat(fifo.constData(), &st) != 0 || !S_ISFIFO(st.st_mode))
            continue;
        const int fd = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0)
            ::close(fd);
    }
}

} // namespace syj::test
