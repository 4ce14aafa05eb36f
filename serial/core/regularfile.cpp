#include "serial/core/regularfile.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

namespace {

    Kind kindOf(mode_t mode)
    {
        if (S_ISREG(mode))
            return Kind::Regular;
        if (S_ISDIR(mode))
            return Kind::Directory;
        if (S_ISFIFO(mode))
            return Kind::Fifo;
        if (S_ISCHR(mode))
            return Kind::CharDevice;
        if (S_ISBLK(mode))
            return Kind::BlockDevice;
        if (S_ISSOCK(mode))
            return Kind::Socket;
        return Kind::Other;
    }

    Result failed(Status status, int error)
    {
        Result result;
        result.status = status;
        result.error = QString::fromLocal8Bit(std::strerror(error));
        return result;
    }

    Status openFailure(int error)
    {
        return error == ENOENT || error == ENOTDIR ? Status::Missing : Status::Unreadable;
    }

}

Result read(const QString& path, qint64 maxBytes, qint64 sizeLimit)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat info;
    // Looked at before opening: a pipe without a writer blocks open(), and opening a serial
    // device may already move its modem lines.
    if (::stat(name.constData(), &info) != 0)
        return failed(openFailure(errno), errno);
    Result result;
    result.kind = kindOf(info.st_mode);
    if (result.kind != Kind::Regular) {
        result.status = Status::NotRegular;
        return result;
    }
    // Non-blocking and checked again on what was opened: the name may point elsewhere by now.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return failed(openFailure(errno), errno);
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return failed(Status::Unreadable, error);
    }
    result.kind = kindOf(info.st_mode);
    result.size = info.st_size;
    if (result.kind != Kind::Regular || (sizeLimit >= 0 && result.size > sizeLimit)) {
        ::close(fd);
        result.status = result.kind != Kind::Regular ? Status::NotRegular : Status::TooLarge;
        return result;
    }
    // A QByteArray holds somewhat less than 2 GiB.
    const qint64 want = qBound<qint64>(0, qMin(result.size, maxBytes), (1 << 30));
    result.data.resize(int(want));
    qint64 got = 0;
    while (got < want) {
        const ssize_t n = ::read(fd, result.data.data() + got, size_t(want - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return failed(Status::ReadFailed, error);
        }
        if (n == 0) // shorter by now
            break;
        got += n;
    }
    ::close(fd);
    result.data.truncate(int(got));
    result.status = Status::Ok;
    return result;
}

}
