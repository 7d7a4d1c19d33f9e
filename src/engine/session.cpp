#include "engine/session.h"
#include "engine/dbcache.h"
#include "engine/formula.h"
#include "engine/notecontext.h"
#include "engine/objects.h"
#include "platform/error.h"
#include <QDir>
#include <QFileInfo>
#include <openssl/crypto.h>
#include <openssl/evp.h>

namespace engine {
namespace {

constexpr const char* kPbkdf2Prefix = "{PBKDF2-SHA256}";
constexpr int kMaxIterations = 5000000;  // a higher count would let a names file stall the sign-in

QByteArray pbkdf2(const QString& password, const QByteArray& salt, int iterations, int length)
{
    QByteArray out(length, '\0');
    const QByteArray pw = password.toUtf8();
    if (PKCS5_PBKDF2_HMAC(pw.constData(), int(pw.size()), reinterpret_cast<const unsigned char*>(salt.constData()),
                          int(salt.size()), iterations, EVP_sha256(), length,
                          reinterpret_cast<unsigned char*>(out.data()))
        != 1)
        throw platform::Error(QStringLiteral("密码校验失败(OpenSSL)"));
    return out;
}

bool isPerson(const Database& db, uint32_t note)
{
    for (const char* item : {"Form", "Type"})
        if (const ItemRecord* r = db.findItem(note, QString::fromLatin1(item)))
            for (const domino::NotesValue& v : db.itemValues(*r))
                if (v.toText().compare(QLatin1String("Person"), Qt::CaseInsensitive) == 0)
                    return true;
    return false;
}

bool nameMatches(const QString& stored, const QString& wanted)
{
    const QString s = stored.trimmed();
    if (s.isEmpty())
        return false;
    return s.compare(wanted, Qt::CaseInsensitive) == 0
           || abbreviatedName(s).compare(abbreviatedName(wanted), Qt::CaseInsensitive) == 0
           || commonName(s).compare(wanted, Qt::CaseInsensitive) == 0;
}

} // namespace

QString hashPassword(const QString& password, const QByteArray& salt, int iterations)
{
    return QString::fromLatin1(kPbkdf2Prefix) + QString::number(iterations) + u'$'
           + QString::fromLatin1(salt.toBase64()) + u'$'
           + QString::fromLatin1(pbkdf2(password, salt, iterations, 32).toBase64());
}

bool verifyPassword(const QString& stored, const QString& password, const QString& user)
{
    const QString s = stored.trimmed();
    if (s.isEmpty())
        throw platform::Error(QStringLiteral("用户\"%1\"没有设置Internet密码，无法登录").arg(user));
    if (!s.startsWith(QLatin1String(kPbkdf2Prefix), Qt::CaseInsensitive))
        throw platform::Error(
            QStringLiteral("用户\"%1\"的密码以不支持的格式保存，只支持{PBKDF2-SHA256}格式").arg(user));
    const QStringList parts = s.mid(int(qstrlen(kPbkdf2Prefix))).split(u'$');
    bool ok = false;
    const int iterations = parts.size() == 3 ? parts[0].toInt(&ok) : 0;
    const auto saltResult = QByteArray::fromBase64Encoding(parts.value(1).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const auto hashResult = QByteArray::fromBase64Encoding(parts.value(2).toLatin1(), QByteArray::AbortOnBase64DecodingErrors);
    const QByteArray* salt = &saltResult.decoded;
    const QByteArray* hash = &hashResult.decoded;
    if (!ok || iterations < 1 || iterations > kMaxIterations || !saltResult || !hashResult || salt->isEmpty()
        || hash->size() < 16 || hash->size() > 64)
        throw platform::Error(QStringLiteral("用户\"%1\"保存的密码格式已损坏").arg(user));
    const QByteArray got = pbkdf2(password, *salt, iterations, int(hash->size()));
    return CRYPTO_memcmp(got.constData(), hash->constData(), size_t(got.size())) == 0;
}

void Session::StartSession(const QString&) { user_.clear(); }

void Session::StartSessionAs(const QString& userName, const QString& password)
{
    const QString wanted = userName.trimmed();
    if (wanted.isEmpty())
        throw platform::Error(QStringLiteral("没有给出用户名"));
    if (config_.dataDirectory.isEmpty())
        throw platform::Error(QStringLiteral("没有配置Domino数据目录(notes.ini的Directory)，无法验证用户"));
    QString file;
    for (const char* name : {"names.dxl", "names.nsf"}) {
        const QString f = QDir(config_.dataDirectory).filePath(QString::fromLatin1(name));
        if (QFileInfo(f).isFile()) {
            file = f;
            break;
        }
    }
    if (file.isEmpty())
        throw platform::Error(QStringLiteral("数据目录%1中没有名称库names.dxl，无法验证用户").arg(config_.dataDirectory));
    const DatabasePtr names = openDatabaseFile(QFileInfo(file).absoluteFilePath());
    for (uint32_t n = 0; n < names->notes.size(); ++n) {
        if (!isPerson(*names, n))
            continue;
        bool match = false;
        for (const char* item : {"FullName", "ShortName"})
            if (const ItemRecord* r = names->findItem(n, QString::fromLatin1(item)))
                for (const domino::NotesValue& v : names->itemValues(*r))
                    match = match || nameMatches(v.toText(), wanted);
        if (!match)
            continue;
        const ItemRecord* pw = names->findItem(n, QStringLiteral("HTTPPassword"));
        const QString stored = pw ? names->itemValues(*pw).value(0).toText() : QString();
        if (!verifyPassword(stored, password, wanted))
            throw platform::Error(QStringLiteral("用户\"%1\"的密码不正确").arg(wanted));
        const ItemRecord* full = names->findItem(n, QStringLiteral("FullName"));
        user_ = full ? names->itemValues(*full).value(0).toText() : wanted;
        return;
    }
    throw platform::Error(QStringLiteral("名称库中没有用户\"%1\"").arg(wanted));
}

QString Session::resolvePath(const QString& server, const QString& path) const
{
    QString p = path.trimmed();
    p.replace(u'\\', u'/');
    if (p.isEmpty())
        throw platform::Error(QStringLiteral("没有给出数据库文件名"));
    if (server.trimmed().isEmpty()) {
        if (QDir::isAbsolutePath(p) || config_.dataDirectory.isEmpty())
            return QFileInfo(p).absoluteFilePath();
        return QDir::cleanPath(QDir(config_.dataDirectory).filePath(p));
    }
    if (!isLocalServer(config_, server))
        throw platform::Error(QStringLiteral("无法连接服务器%1: 找不到该服务器，只能访问本机的Domino服务器%2")
                                  .arg(server.trimmed(), config_.serverName));
    if (config_.dataDirectory.isEmpty())
        throw platform::Error(QStringLiteral("服务器%1没有配置数据目录(notes.ini的Directory)").arg(server.trimmed()));
    const QString root = QDir::cleanPath(config_.dataDirectory);
    const QString full = QDir::isAbsolutePath(p) ? QDir::cleanPath(p) : QDir::cleanPath(root + u'/' + p);
    // A server serves its data directory only.
    if (full != root && !full.startsWith(root + u'/'))
        throw platform::Error(QStringLiteral("数据库路径%1不在服务器%2的数据目录中").arg(path, server.trimmed()));
    return full;
}

domino::DatabasePtr Session::OpenDatabase(const QString& server, const QString& path, bool createIfMissing)
{
    const QString file = resolvePath(server, path);
    if (createIfMissing && !QFileInfo::exists(file))
        throw platform::Error(QStringLiteral("不能创建数据库%1: 本引擎只读").arg(path));
    return std::make_shared<DatabaseObject>(openDatabaseFile(file));
}

domino::NotesValueList Session::EvaluateFormula(const QString& formula, const domino::DocumentPtr& document)
{
    if (formula != lastSource_ || lastSource_.isNull()) {
        last_ = Formula::compile(formula);
        lastSource_ = formula;
    }
    const Formula f = last_;
    auto* doc = dynamic_cast<DocumentObject*>(document.get());
    if (!doc)
        throw platform::Error(QStringLiteral("EvaluateFormula: 没有给出文档"));
    const ViewIndex* view = doc->view();
    const NoteContext ctx(*doc->database(), doc->note(),
                          view && doc->position() >= 0 ? view->docNumber(doc->position()) : QString());
    return f.evaluate(ctx);
}

std::unique_ptr<Session> newSession() { return std::make_unique<Session>(configuration()); }

} // namespace engine
