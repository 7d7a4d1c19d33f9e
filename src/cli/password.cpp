#include "cli/password.h"
#include "platform/error.h"
#include <QFile>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace cli {

namespace {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

QString firstLine(const QByteArray& bytes)
{
    const qsizetype end = bytes.indexOf('\n');
    QByteArray line = end < 0 ? bytes : bytes.left(end);
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

// Echo off on the terminal for as long as it lives.
class NoEcho {
public:
    explicit NoEcho(int fd) : fd_(fd)
    {
        if (::tcgetattr(fd_, &saved_) != 0)
            return;
        termios quiet = saved_;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        quiet.c_lflag |= ECHONL;
        active_ = ::tcsetattr(fd_, TCSAFLUSH, &quiet) == 0;
    }
    ~NoEcho()
    {
        if (active_)
            ::tcsetattr(fd_, TCSAFLUSH, &saved_);
    }
    NoEcho(const NoEcho&) = delete;
    NoEcho& operator=(const NoEcho&) = delete;

private:
    int fd_;
    termios saved_{};
    bool active_ = false;
};

QString typedPassword()
{
    std::fputs("密码: ", stderr);
    std::fflush(stderr);
    NoEcho quiet(0);
    QByteArray line;
    for (int c; (c = std::getchar()) != EOF && c != '\n';)
        line.append(char(c));
    return firstLine(line);
}

} // namespace

QString readPasswordFile(const QString& path)
{
    const FileDescriptor fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (fd.get() < 0)
        throw platform::Error(QStringLiteral("无法读取密码文件%1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
        throw platform::Error(QStringLiteral("密码文件%1不是普通文件").arg(path));
    // The mode of the file opened, not of whatever the name points to a moment later.
    if (st.st_mode & (S_IRGRP | S_IROTH))
        throw platform::Error(QStringLiteral("密码文件%1可被其他用户读取（权限%2），请先执行 chmod 600")
                                  .arg(path)
                                  .arg(st.st_mode & 0777, 4, 8, QLatin1Char('0')));
    QByteArray bytes;
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd.get(), buffer, sizeof buffer)) != 0;) {
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw platform::Error(QStringLiteral("无法读取密码文件%1：%2").arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        }
        bytes.append(buffer, n);
        if (bytes.contains('\n') || bytes.size() > (1 << 16))
            break;  // only the first line counts
    }
    return firstLine(bytes);
}

QString sessionPassword(const CommandLine& args)
{
    const bool given = args.isSet(QStringLiteral("password"));
    const bool file = args.isSet(QStringLiteral("password-file"));
    if (given && file)
        args.usageError(QStringLiteral("--password and --password-file cannot be given together"));
    if (given)
        return args.value(QStringLiteral("password"));
    if (file)
        return readPasswordFile(args.value(QStringLiteral("password-file")));
    if (qEnvironmentVariableIsSet("QUILLET_PASSWORD"))
        return qEnvironmentVariable("QUILLET_PASSWORD");
    if (::isatty(0) == 1)
        return typedPassword();
    return {};
}

} // namespace cli
