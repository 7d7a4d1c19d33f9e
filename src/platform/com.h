#pragma once
// The small COM runtime. A component is a shared library; creating an object
// by class id reads the class's InprocServer32 default value from the machine
// hive, loads that file and asks its factory entry for the object. Loaded
// components stay loaded for the rest of the process, so objects they made
// remain valid.
//
// A component exports two C entries:
//   extern "C" platform::ComObject* QuilletCreateObject(const char* clsid);
//   extern "C" bool QuilletRegisterServer(platform::ComRegistrar* registrar);
// The first returns a new object (owned by the caller) or nullptr for a class
// it does not serve; the second writes the component's classes with its own
// file path, as self-registration does on Windows.
#include <QString>
#include <memory>

namespace platform {

class ComObject {
public:
    virtual ~ComObject();
};
using ComObjectPtr = std::shared_ptr<ComObject>;

class ComRegistrar {
public:
    virtual ~ComRegistrar() = default;
    // Writes HKLM\SOFTWARE\Classes\CLSID\{clsid}\InprocServer32 = file; false on failure.
    virtual bool registerClass(const QString& clsid, const QString& progId, const QString& file) = 0;
};

constexpr const char* kCreateObjectEntry = "QuilletCreateObject";
constexpr const char* kRegisterServerEntry = "QuilletRegisterServer";

// Throws platform::Error with a text that says what failed (class not
// registered, file missing, load failure, factory refused).
ComObjectPtr CreateComObject(const QString& clsid);

// Loads the file and calls its registration entry against the machine hive.
// Returns false and sets *error when the file cannot be loaded, has no entry,
// or the entry refuses.
bool RegisterComServer(const QString& file, QString* error = nullptr);

} // namespace platform
