#pragma once
// A sample installation of the browsing tests' own, in a temporary folder:
// a hive naming its data directory, a Domino program directory holding a link
// to the real component and a notes.ini that points the engine at the same
// data directory, an application folder for system.ini, and scripted prompts.
#include "platform/scriptedprompts.h"
#include <QString>
#include <QTemporaryDir>
#include <functional>

class QWidget;

namespace browsetest {

// The server name the test installation's engine answers to.
inline constexpr const char* kServer = "Quillet Test/Quillet";

class Installation {
public:
    Installation();
    ~Installation();
    Installation(const Installation&) = delete;
    Installation& operator=(const Installation&) = delete;

    bool ok() const { return ok_; }
    QString appDir() const { return root_.path() + QStringLiteral("/app"); }
    QString dataDir() const { return root_.path() + QStringLiteral("/data"); }
    QString path(const QString& relative) const { return root_.path() + u'/' + relative; }

    // Empties the data directory and puts the names database back, as names.nsf
    // (DXL content under an NSF name: the engine goes by the content).
    void resetData();
    // A fresh start for the next test: data, application folder and prompts.
    void reset();
    // Copies a file of the source tree (relative to it) into the data directory.
    void copyIn(const QString& sourceRelative, const QString& dataRelative);
    void touch(const QString& dataRelative);
    void mkdir(const QString& dataRelative);

    platform::ScriptedPrompts prompts;

private:
    QTemporaryDir root_;
    bool ok_ = false;
};

// Answers the next modal dialog by running action on it.
void onNextModal(std::function<void(QWidget*)> action);

} // namespace browsetest
