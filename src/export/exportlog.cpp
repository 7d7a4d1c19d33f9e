#include "export/exportlog.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include <QDir>
#include <QFile>
#include <QLocale>
#include <cerrno>
#include <cstring>
#include <vector>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace exporting {

namespace {

QString homeStateFolder()
{
    // Relative values are to be ignored, as the base directory rules say.
    const QString xdg = qEnvironmentVariable("XDG_STATE_HOME");
    if (!xdg.isEmpty() && QDir::isAbsolutePath(xdg))
        return QDir::cleanPath(xdg);
    return QDir::homePath() + QStringLiteral("/.local/state");
}

struct FolderSetting {
    QString folder;
    int generation = 0;
};

QString withSlash(QString folder)
{
    if (!folder.endsWith(u'/'))
        folder += u'/';
    return folder;
}

FolderSetting& folderSetting()
{
    static FolderSetting s{withSlash(defaultLogFolder()), 0};
    return s;
}

[[noreturn]] void throwFileError(int error, const QByteArray& file)
{
    QString cause;
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        cause = QStringLiteral("File access denied");
        break;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        cause = QStringLiteral("Disk full");
        break;
    default:
        cause = QStringLiteral("I/O error %1").arg(error);
    }
    throw platform::Error(cause + QStringLiteral(": ") + QFile::decodeName(file));
}

[[noreturn]] void throwLink(const QByteArray& path)
{
    throw platform::Error(QStringLiteral("File access denied: ") + QFile::decodeName(path) + linkRefusalText());
}

// The folder and every missing parent, private to the user.
void makeFolders(const QByteArray& folder)
{
    for (qsizetype at = 1; at <= folder.size(); ++at) {
        if (at < folder.size() && folder.at(at) != '/')
            continue;
        const QByteArray part = folder.left(at);
        if (part.endsWith('/'))
            continue;
        if (::mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            return;  // the open below reports why
    }
}

// The log file, opened for appending: neither the folder nor the file through
// a link, a new file readable by its owner only. A FIFO in its place fails at
// once instead of waiting for a reader.
FileDescriptor openLog(const QByteArray& file)
{
    const qsizetype slash = file.lastIndexOf('/');
    const QByteArray folder = slash > 0 ? file.left(slash) : QByteArray(slash == 0 ? "/" : ".");
    const QByteArray name = file.mid(slash + 1);
    FileDescriptor dir(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!dir.valid() && errno == ENOENT) {
        makeFolders(folder);
        dir = FileDescriptor(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    if (!dir.valid()) {
        const int error = errno;
        struct stat st;
        if ((error == ELOOP || error == ENOTDIR) && ::lstat(folder.constData(), &st) == 0 && S_ISLNK(st.st_mode))
            throwLink(folder);
        throwFileError(error, file);
    }
    int fd;
    do
        fd = ::openat(dir.get(), name.constData(),
                      O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        struct stat st;
        if (error == ELOOP && ::fstatat(dir.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            S_ISLNK(st.st_mode))
            throwLink(file);
        throwFileError(error, file);
    }
    FileDescriptor out(fd);
    // A file of ours left readable to others by an earlier build becomes private.
    if (struct stat st; ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() &&
                        (st.st_mode & 077) != 0)
        (void)::fchmod(fd, st.st_mode & 0700);
    return out;
}

// One write of the whole line (more only when the system takes part of it).
// On failure the part written is taken back, since a line cut short would run
// into the next one, and the file is closed.
void appendTo(FileDescriptor& fd, const QByteArray& file, const QByteArray& bytes)
{
    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd.get(), p, size_t(left));
        if (n > 0) {
            p += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int error = n < 0 ? errno : ENOSPC;  // a file that takes nothing more is full
        if (const qsizetype written = bytes.size() - left; written > 0) {
            const off_t end = ::lseek(fd.get(), 0, SEEK_END);
            if (end >= written)
                (void)::ftruncate(fd.get(), end - written);
        }
        fd.reset();
        throwFileError(error, file);
    }
}

QString fileNamePart(const QString& path)
{
    qsizetype i = path.size();
    while (i > 0) {
        const QChar c = path.at(i - 1);
        if (c == u'/' || c == u'\\' || c == u':')
            break;
        --i;
    }
    return path.mid(i);
}

QString shortDate(const QDate& date)
{
    return QLocale::system().toString(date, QLocale::ShortFormat);
}

// H:mm:ss without going through a format parser for every line.
void appendClock(QString& out, const QTime& t)
{
    out += QString::number(t.hour());
    const int parts[2] = {t.minute(), t.second()};
    for (int v : parts) {
        out += u':';
        out += QChar(u'0' + v / 10);
        out += QChar(u'0' + v % 10);
    }
}

const QByteArray kLineEnd("\r\n", 2);

void appendEscape(char*& p, char16_t c)
{
    static const char hex[] = "0123456789ABCDEF";
    *p++ = '\\';
    switch (c) {
    case u'\r': *p++ = 'r'; return;
    case u'\n': *p++ = 'n'; return;
    case u'\t': *p++ = 't'; return;
    default: break;
    }
    if (c < 0x100) {
        *p++ = 'x';
    } else {
        *p++ = 'u';
        *p++ = hex[(c >> 12) & 0xF];
        *p++ = hex[(c >> 8) & 0xF];
    }
    *p++ = hex[(c >> 4) & 0xF];
    *p++ = hex[c & 0xF];
}

// What a text viewer would take for the end of a line, or not show at all.
bool needsEscape(char16_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == 0x2028 || c == 0x2029;
}

// Code page 936 for the log, one character at a time from a table that the
// platform's own conversion fills on first use of each character: the same
// bytes as platform::toCp936 (the code page has no shift states), without a
// converter call per line. Control characters are escaped; surrogate pairs go
// to the platform's conversion pair by pair.
void appendCp936(QByteArray& out, const QString& text)
{
    // 0: not yet known; 0xFF00 | b: the single byte b; else the two bytes.
    static std::vector<quint16> table(0x10000, 0);
    const qsizetype start = out.size();
    // At most six bytes a character ("\u2028").
    out.resize(start + text.size() * 6);
    char* p = out.data() + start;
    const char16_t* u = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const char16_t c = u[i];
        if (c < 0x80 && c >= 0x20 && c != 0x7F) {
            *p++ = char(c);
            continue;
        }
        if (needsEscape(c)) {
            appendEscape(p, c);
            continue;
        }
        if (QChar::isSurrogate(c)) {
            const qsizetype len = QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(u[i + 1]) ? 2 : 1;
            const QByteArray b = platform::toCp936(text.mid(i, len));
            const qsizetype at = p - out.constData();
            out.resize(at + b.size() + (n - i - len) * 6);
            p = out.data() + at;
            std::memcpy(p, b.constData(), size_t(b.size()));
            p += b.size();
            i += len - 1;
            continue;
        }
        quint16& code = table[c];
        if (code == 0) {
            const QByteArray b = platform::toCp936(QString(QChar(c)));
            code = b.size() == 2 ? quint16((quint8(b[0]) << 8) | quint8(b[1]))
                                 : quint16(0xFF00 | (b.isEmpty() ? quint8('?') : quint8(b[0])));
        }
        if ((code & 0xFF00) == 0xFF00) {
            *p++ = char(code & 0xFF);
        } else {
            *p++ = char(code >> 8);
            *p++ = char(code & 0xFF);
        }
    }
    out.truncate(p - out.constData());
}

} // namespace

QString defaultLogFolder() { return homeStateFolder() + QStringLiteral("/quillet"); }

QString logFolder() { return folderSetting().folder; }

void setLogFolder(const QString& folder)
{
    FolderSetting& s = folderSetting();
    s.folder = withSlash(folder.isEmpty() ? defaultLogFolder() : folder);
    ++s.generation;
}

void WriteLog(const QString& path, const QString& line)
{
    const QByteArray file = QFile::encodeName(logFolder() + fileNamePart(path));
    QByteArray bytes;
    appendCp936(bytes, line);
    bytes += kLineEnd;
    FileDescriptor fd = openLog(file);
    appendTo(fd, file, bytes);
    if (const int error = fd.reset())
        throwFileError(error, file);
}

QString logFileName(const QDate& date)
{
    return QStringLiteral("log") + date.toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".txt");
}

QString logTimeStamp(const QDateTime& when)
{
    QString s = shortDate(when.date());
    s += u' ';
    appendClock(s, when.time());
    return s;
}

ExportLog::ExportLog(QString appDir) : appDir_(std::move(appDir)) {}

void ExportLog::refresh(const QDateTime& when)
{
    const QDate day = when.date();
    const QTime time = when.time();
    if (day != day_ || folderGeneration_ != folderSetting().generation) {
        day_ = day;
        folderGeneration_ = folderSetting().generation;
        dateText_ = shortDate(day);
        // The path a caller hands to WriteLog; only its file-name part is used.
        const QString path = appDir_ + QStringLiteral("log/") + logFileName(day);
        file_ = QFile::encodeName(logFolder() + fileNamePart(path));
        second_ = -1;
    }
    const qint64 second = day.toJulianDay() * 86400 + time.msecsSinceStartOfDay() / 1000;
    if (second != second_) {
        second_ = second;
        QString s = dateText_;
        s += u' ';
        appendClock(s, time);
        stamp_ = platform::toCp936(s);
    }
}

void ExportLog::write(const QString& text)
{
    // The local time costs a look at the zone file on every call; within one
    // second of the system clock the stamp and the day cannot change, so the
    // clock is asked once a second (a replaced clock is asked every time).
    if (platform::clockReplaced()) {
        refresh(platform::now());
        utcSecond_ = -1;
    } else if (const qint64 s = QDateTime::currentMSecsSinceEpoch() / 1000; s != utcSecond_ || folderGeneration_ != folderSetting().generation) {
        refresh(platform::now());
        utcSecond_ = s;
    }
    line_.resize(0);  // keeps the capacity
    line_.reserve(text.size() * 2 + stamp_.size() + 2);
    appendCp936(line_, text);
    line_ += stamp_;
    line_ += kLineEnd;
    try {
        if (!fd_.valid() || openFile_ != file_) {
            fd_.reset();
            openFile_ = file_;
            fd_ = openLog(file_);
        }
        appendTo(fd_, file_, line_);
    } catch (...) {
        ++failures_;
        throw;
    }
}

QString ExportLog::filePath() const { return QFile::decodeName(file_); }

} // namespace exporting
