#include "export/exportlog.h"
#include "platform/clock.h"
#include "platform/codepage.h"
#include "platform/error.h"
#include <QFile>
#include <QLocale>
#include <cerrno>
#include <vector>
#include <fcntl.h>
#include <unistd.h>

namespace exporting {

namespace {

const QString& defaultFolder()
{
    static const QString f = QStringLiteral("/var/tmp/");
    return f;
}

struct FolderSetting {
    QString folder = defaultFolder();
    int generation = 0;
};

FolderSetting& folderSetting()
{
    static FolderSetting s;
    return s;
}

[[noreturn]] void throwFileError(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
    case ETXTBSY:
        throw platform::Error(QStringLiteral("File access denied"));
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        throw platform::Error(QStringLiteral("Disk full"));
    default:
        throw platform::Error(QStringLiteral("I/O error %1").arg(error));
    }
}

// Open, append, close: nothing stays open or buffered between lines.
void appendToFile(const QByteArray& file, const QByteArray& bytes)
{
    int fd;
    do
        fd = ::open(file.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throwFileError(errno);

    const char* p = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n > 0) {
            p += n;
            left -= n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        const int error = n < 0 ? errno : ENOSPC;  // a file that takes nothing more is full
        // A line cut short would run into the next one: take its part back.
        if (const qsizetype written = bytes.size() - left; written > 0) {
            const off_t end = ::lseek(fd, 0, SEEK_END);
            if (end >= written)
                (void)::ftruncate(fd, end - written);
        }
        ::close(fd);
        throwFileError(error);
    }
    if (::close(fd) != 0 && errno != EINTR)
        throwFileError(errno);
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

// Code page 936 for the log, one character at a time from a table that the
// platform's own conversion fills on first use of each character: the same
// bytes as platform::toCp936 (the code page has no shift states), without a
// converter call per line. Text with surrogates goes to the platform whole.
void appendCp936(QByteArray& out, const QString& text)
{
    // 0: not yet known; 0xFF00 | b: the single byte b; else the two bytes.
    static std::vector<quint16> table(0x10000, 0);
    const qsizetype start = out.size();
    out.resize(start + text.size() * 2);
    char* p = out.data() + start;
    const char16_t* u = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0, n = text.size(); i < n; ++i) {
        const char16_t c = u[i];
        if (c < 0x80) {
            *p++ = char(c);
            continue;
        }
        if (QChar::isSurrogate(c)) {
            out.truncate(p - out.constData());
            out += platform::toCp936(text.mid(i));
            return;
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

QString logFolder() { return folderSetting().folder; }

void setLogFolder(const QString& folder)
{
    FolderSetting& s = folderSetting();
    s.folder = folder.isEmpty() ? defaultFolder() : folder;
    if (!s.folder.endsWith(u'/'))
        s.folder += u'/';
    ++s.generation;
}

void WriteLog(const QString& path, const QString& line)
{
    appendToFile(QFile::encodeName(logFolder() + fileNamePart(path)), platform::toCp936(line) + kLineEnd);
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
    appendToFile(file_, line_);
}

} // namespace exporting
