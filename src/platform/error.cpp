#include "platform/error.h"

namespace platform {

Error::Error(QString text) : text_(std::move(text)), utf8_(text_.toUtf8()) {}
Error::~Error() = default;

} // namespace platform
