#include "support/filehazards.h"

#include <QFile>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/un.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace syj::test {

namespace {

qint64 FreeBytes(const QString &folder)
{
    struct statvfs fs {};
    if (::statvfs(QFile::encodeName(folder).constData(), &fs) != 0)
        return -1;
    return qint64(fs.f_bavail) * qint64(fs.f_frsize);
}

} // namespace

SmallDisk::SmallDisk(qint64 bytes)
{
    const QByteArray options = "size=" + QByteArray::number(bytes);
    if (::mount("tmpfs", QFile::encodeName(m_dir.path()).constData(), "tmpfs", 0,
                options.constData()) != 0) {
        m_whyNot = u"cannot mount a tmpfs here: "_s + QString::fromLocal8Bit(std::strerror(errno));
    }
}

SmallDisk::~SmallDisk()
{
    if (isMounted())
        ::umount2(QFile::encodeName(m_dir.path()).constData(), MNT_DETACH);
}

bool SmallDisk::leaveFree(qint64 left)
{
    const qint64 room = FreeBytes(m_dir.path());
    QFile filler(filePath(u".filler"_s));
    if (!isMounted() || room < left || !filler.open(QIODevice::Append | QIODevice::Unbuffered))
        return false;
    filler.write(QByteArray(room - left, 'f'));
    return FreeBytes(m_dir.path()) == left;
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    ::getrlimit(RLIMIT_FSIZE, &m_old);
    rlimit limit = m_old;
    limit.rlim_cur = rlim_t(bytes);
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
        qFatal("cannot limit the size of files");
}

FileSizeLimit::~FileSizeLimit()
{
    ::setrlimit(RLIMIT_FSIZE, &m_old);
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
    // The socket's file stays at its name when the socket is closed.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool bound =
        ::bind(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
    ::close(fd);
    return bound;
}

PipeWatchdog::PipeWatchdog(const QString &path)
    : m_thread([this, name = QFile::encodeName(path)](std::stop_token stop) {
          std::mutex mutex;
          std::condition_variable_any wake;
          std::unique_lock lock(mutex);
          const auto stopped = [&](int ms) {
              wake.wait_for(lock, stop, std::chrono::milliseconds(ms), [] { return false; });
              return stop.stop_requested();
          };
          if (stopped(3000))
              return;
          m_fired = true;
          do {
              struct stat st {};
              const int fd = ::stat(name.constData(), &st) == 0 && S_ISFIFO(st.st_mode)
                                 ? ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC)
                                 : -1;
              if (fd >= 0)
                  ::close(fd);
          } while (!stopped(50));
      })
{}

} // namespace syj::test
