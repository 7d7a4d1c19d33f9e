#include "export/safefiles.h"
#include "platform/error.h"
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace exporting {

namespace {

QByteArray local(const QString& path) { return QFile::encodeName(path); }

bool lstatOf(const QString& path, struct stat& st) { return ::lstat(local(path).constData(), &st) == 0; }

} // namespace

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& o) noexcept
{
    if (this != &o) {
        reset();
        fd_ = o.release();
    }
    return *this;
}

int FileDescriptor::release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int FileDescriptor::reset()
{
    if (fd_ < 0)
        return 0;
    const int fd = release();
    // Linux closes the descriptor even when close() reports EINTR.
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

bool isSymLink(const QString& path)
{
    struct stat st;
    return lstatOf(path, st) && S_ISLNK(st.st_mode);
}

QString linkRefusalText() { return QStringLiteral("是符号链接，导出不会经由它写入文件!"); }

QString makeFolderNoFollow(const QString& path)
{
    QString p = path;
    while (p.size() > 1 && p.endsWith(u'/'))
        p.chop(1);
    if (::mkdir(local(p).constData(), 0777) == 0)
        return {};
    const int error = errno;
    struct stat st;
    if (error == EEXIST && lstatOf(p, st)) {
        if (S_ISLNK(st.st_mode))
            return p + linkRefusalText();
        if (S_ISDIR(st.st_mode))
            return {};
        return p + QStringLiteral("已存在且不是文件夹");
    }
    return QStringLiteral("无法创建文件夹 %1：%2").arg(p, qt_error_string(error));
}

WorkbookReservation::Result WorkbookReservation::reserve(const QString& path)
{
    release();
    const QByteArray name = local(path);
    const auto create = [&] {
        int fd;
        do
            fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        while (fd < 0 && errno == EINTR);
        return FileDescriptor(fd);
    };
    FileDescriptor fd = create();
    if (!fd.valid() && errno == ENOENT && QDir().mkpath(QFileInfo(path).path()))
        fd = create();
    if (!fd.valid()) {
        const int error = errno;
        if (error == EEXIST)
            return isSymLink(path) ? Result::Link : Result::Exists;
        throw platform::Error(QStringLiteral("无法创建文件 %1：%2").arg(path, qt_error_string(error)));
    }
    struct stat st;
    if (::fstat(fd.get(), &st) != 0)
        throw platform::Error(QStringLiteral("无法创建文件 %1：%2").arg(path, qt_error_string(errno)));
    path_ = path;
    dev_ = st.st_dev;
    ino_ = st.st_ino;
    return Result::Reserved;
}

bool WorkbookReservation::ours(bool mustBeEmpty) const
{
    struct stat st;
    return !path_.isEmpty() && lstatOf(path_, st) && S_ISREG(st.st_mode) && st.st_dev == dev_ &&
           st.st_ino == ino_ && (!mustBeEmpty || st.st_size == 0);
}

void WorkbookReservation::checkStillOurs() const
{
    if (path_.isEmpty() || ours(false))
        return;
    if (isSymLink(path_))
        throw platform::Error(path_ + linkRefusalText());
    throw platform::Error(QStringLiteral("保存工作簿 %1 失败：导出开始后这个文件被换掉了").arg(path_));
}

void WorkbookReservation::release()
{
    if (ours(true))
        ::unlink(local(path_).constData());
    path_.clear();
}

} // namespace exporting
