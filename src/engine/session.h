#pragma once
// The NotesSession of the local engine.
#include "domino/dominoobjects.h"
#include "engine/config.h"
#include "engine/formula.h"

namespace engine {

class Session : public domino::INotesSession {
public:
    explicit Session(EngineConfig config) : config_(std::move(config)) {}
    void StartSessionAs(const QString& userName, const QString& password) override;
    void StartSession(const QString& text) override;
    domino::DatabasePtr OpenDatabase(const QString& server, const QString& path, bool createIfMissing) override;
    domino::NotesValueList EvaluateFormula(const QString& formula, const domino::DocumentPtr& document) override;

    const QString& userName() const { return user_; }
    // The file a database path names: an empty server is a local file
    // (absolute, or relative to the data directory); the local server's paths
    // are below the data directory. Throws platform::Error.
    QString resolvePath(const QString& server, const QString& path) const;

private:
    EngineConfig config_;
    QString user_;
    // The formula evaluated last: an export asks the same one of every document.
    QString lastSource_;
    Formula last_;
};

// A new session with the current configuration (what the component's factory gives).
std::unique_ptr<Session> newSession();

// Checks a password against an HTTPPassword value "{PBKDF2-SHA256}iterations$salt$hash"
// (salt and hash base64). Throws platform::Error for another stored form.
bool verifyPassword(const QString& stored, const QString& password, const QString& user);
// The stored form of a password (tests and the sample data).
QString hashPassword(const QString& password, const QByteArray& salt, int iterations);

} // namespace engine
