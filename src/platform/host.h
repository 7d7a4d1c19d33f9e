#pragma once
#include <QString>
#include <optional>

namespace platform {

// This machine's host name, empty when it has none.
QString hostName();
// The official (canonical) name a host name resolves to; nullopt when it does not resolve.
std::optional<QString> resolveOfficialName(const QString& name);

} // namespace platform
