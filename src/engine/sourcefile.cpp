#include "engine/sourcefile.h"
#include "platform/error.h"
#include <QFile>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

FileHandle::~FileHandle() { ::close(fd_); }

namespace {

// What a path that is no regular file is, as a refusal naming it; empty for a regular file.
QString notRegular(mode_t mode, const QString& path)
{
    if (S_ISREG(mode))
        return {};
    if (S_ISDIR(mode))
        return QStringLiteral("不是数据库文件，而是文件夹: %1").arg(path);
    if (S_ISFIFO(mode))
        return QStringLiteral("不是数据库文件，而是命名管道(FIFO): %1").arg(path);
    if (S_ISSOCK(mode))
        return QStringLiteral("不是数据库文件，而是套接字: %1").arg(path);
    if (S_ISCHR(mode) || S_ISBLK(mode))
        return QStringLiteral("不是数据库文件，而是设备: %1").arg(path);
    return QStringLiteral("不是普通文件，不能作为数据库打开: %1").arg(path);
}

} // namespace

int openRegularFile(const QString& path, QString* error)
{
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that a FIFO answers at once instead of waiting for a writer.
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) {
        const int code = errno;
        struct stat st{};
        if (code == ENOENT || code == ENOTDIR)
            *error = QStringLiteral("数据库文件不存在: %1").arg(path);
        else if (code == ELOOP)
            *error = QStringLiteral("数据库文件的路径中有循环的符号链接，无法打开: %1").arg(path);
        else if (code == EACCES || code == EPERM)
            *error = QStringLiteral("没有权限读取数据库文件: %1").arg(path);
        else if (::stat(name.constData(), &st) == 0 && !S_ISREG(st.st_mode))
            *error = notRegular(st.st_mode, path);  // a socket cannot be opened at all
        else
            *error = QStringLiteral("无法读取数据库文件(%1): %2").arg(QString::fromLocal8Bit(std::strerror(code)), path);
        errno = code;
        return -1;
    }
    struct stat st{};
    QString refusal;
    if (::fstat(fd, &st) != 0)
        refusal = QStringLiteral("无法读取数据库文件(%1): %2").arg(QString::fromLocal8Bit(std::strerror(errno)), path);
    else
        refusal = notRegular(st.st_mode, path);
    if (!refusal.isEmpty()) {
        ::close(fd);
        *error = refusal;
        errno = 0;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::shared_ptr<const FileHandle> SourceFile::checked(const QString& path, qint64 size, qint64 modifiedMs)
{
    std::lock_guard lock(mutex_);
    struct stat st{};
    if (handle_ && (::fstat(handle_->fd(), &st) != 0 || st.st_nlink == 0))
        handle_.reset();
    if (!handle_) {
        QString error;
        const int fd = openRegularFile(path, &error);
        if (fd < 0) {
            if (errno == ENOENT)
                throw platform::Error(QStringLiteral("数据库文件已不存在: %1").arg(path));
            throw platform::Error(error);
        }
        auto opened = std::make_shared<const FileHandle>(fd);
        if (::fstat(fd, &st) != 0)
            throw platform::Error(QStringLiteral("无法读取数据库文件: %1").arg(path));
        handle_ = std::move(opened);
    }
    const qint64 modified = qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000;
    if (size >= 0 && (qint64(st.st_size) != size || modified != modifiedMs))
        throw platform::Error(QStringLiteral("数据库文件在打开后已被修改，请重新打开: %1").arg(path));
    return handle_;
}

} // namespace engine
