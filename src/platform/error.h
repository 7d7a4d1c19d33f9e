#pragma once
// Errors travel as exceptions that carry their own text; handlers show a
// fixed prefix followed by text(), or hand the error to the central report.
#include <QString>
#include <exception>

namespace platform {

class Error : public std::exception {
public:
    explicit Error(QString text);
    ~Error() override;
    const QString& text() const noexcept { return text_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    QString text_;
    QByteArray utf8_;
};

} // namespace platform
