#include "engine/sourcefile.h"
#include "platform/error.h"
#include <QFile>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace engine {

FileHandle::~FileHandle() { ::close(fd_); }

std::shared_ptr<const FileHandle> SourceFile::checked(const QString& path, qint64 size, qint64 modifiedMs)
{
    std::lock_guard lock(mutex_);
    struct stat st{};
    if (handle_ && (::fstat(handle_->fd(), &st) != 0 || st.st_nlink == 0))
        handle_.reset();
    if (!handle_) {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            if (errno == ENOENT)
                throw platform::Error(QStringLiteral("数据库文件已不存在: %1").arg(path));
            throw platform::Error(QStringLiteral("无法读取数据库文件: %1").arg(path));
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
