#include "platform/host.h"
#include <netdb.h>
#include <sys/socket.h>
#include <unistd.h>
#include <memory>

namespace platform {

QString hostName()
{
    char buf[256] = {};
    if (::gethostname(buf, sizeof buf - 1) != 0)
        return {};
    return QString::fromLocal8Bit(buf);
}

std::optional<QString> resolveOfficialName(const QString& name)
{
    if (name.isEmpty())
        return std::nullopt;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_CANONNAME;
    addrinfo* found = nullptr;
    if (::getaddrinfo(name.toLocal8Bit().constData(), nullptr, &hints, &found) != 0 || !found)
        return std::nullopt;
    std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> owner(found, &::freeaddrinfo);
    if (!found->ai_canonname || !*found->ai_canonname)
        return std::nullopt;
    return QString::fromLocal8Bit(found->ai_canonname);
}

} // namespace platform
