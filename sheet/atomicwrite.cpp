#include "sheet/atomicwrite.h"

#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace syj {

// The system's reason for a failed file call (an errno value), in the words of
// the program's messages. Codes a lyric file rarely meets keep the system's own
// text.
QString systemReason(int code)
{
    switch (code) {
    case ENOSPC:
        return u"磁盘已满（设备上没有剩余空间）"_s;
    case EDQUOT:
        return u"磁盘已满（已用完磁盘配额）"_s;
    case EFBIG:
        return u"文件超出了系统允许的大小"_s;
    case EIO:
        return u"磁盘读写出错"_s;
    case EROFS:
        return u"磁盘是只读的"_s;
    case EACCES:
    case EPERM:
        return u"没有权限"_s;
    case ENOENT:
        return u"文件或文件夹不存在"_s;
    case ENOTDIR:
        return u"路径中有一项不是文件夹"_s;
    case EISDIR:
        return u"这是一个文件夹"_s;
    case ENAMETOOLONG:
        return u"文件名太长"_s;
    case ELOOP:
        return u"符号链接太多（可能是循环链接）"_s;
    case EMFILE:
    case ENFILE:
        return u"打开的文件太多"_s;
    default:
        return qt_error_string(code);
    }
}

namespace {

// The reason for a QFileDevice call that just failed. Qt words it from errno;
// when errno still holds the code Qt reported, the program words it itself.
QString reasonAfter(const QFileDevice &file, int code)
{
    if (code != 0 && file.errorString() == qt_error_string(code))
        return systemReason(code);
    return file.errorString();
}

// Writes all of bytes to the descriptor: 0, or the errno of the write that
// failed. A short write (a nearly full disk) is followed by another, which
// then tells why it could not go on.
int writeAll(int fd, QByteArrayView bytes)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(fd, p, size_t(left));
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        if (written == 0)
            return EIO;
        p += written;
        left -= written;
    }
    return 0;
}

} // namespace

std::optional<QString> writeFileAtomically(const QString &path, const QByteArray &bytes)
{
    if (path.isEmpty())
        return u"没有文件名"_s;
    if (QFileInfo(path).isDir())
        return u"已经有一个同名的文件夹"_s;
    QSaveFile file(path);
    errno = 0;
    if (!file.open(QIODevice::WriteOnly))
        return reasonAfter(file, errno);
    // The bytes go straight to the temporary file's descriptor, not through
    // QSaveFile::write(): Qt forgets the reason of a short write ("unknown
    // error" on a nearly full disk), and commit() renames the file even when
    // writing out its buffer failed, which would replace the old file with a
    // cut-off one. Syncing here reports what the disk says only then (delayed
    // allocation, quotas), and the bytes are on the disk before the new file
    // takes the old one's name, so a power cut leaves one of the two whole.
    // A file that cannot be synced at all (EINVAL) is no error.
    int failed = writeAll(file.handle(), bytes);
    if (failed == 0 && ::fsync(file.handle()) != 0 && errno != EINVAL)
        failed = errno;
    if (failed != 0) {
        file.cancelWriting();
        return systemReason(failed);
    }
    errno = 0;
    if (!file.commit())
        return reasonAfter(file, errno);
    return std::nullopt;
}

} // namespace syj
