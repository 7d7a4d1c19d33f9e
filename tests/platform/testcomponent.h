#pragma once
// The classes the test component serves.
#include "platform/com.h"
#include <QString>

namespace testcomponent {

inline constexpr const char* kGreeterClsid = "{6E0B2C53-7A41-4F0C-9D3E-5B1A2C3D4E5F}";
inline constexpr const char* kGreeterProgId = "Quillet.TestGreeter";
// Registered by the test component, but it makes no object of it.
inline constexpr const char* kRefusedClsid = "{00000000-0000-0000-0000-00000000DEAD}";
// Set (to anything) in the environment: the registration entry refuses.
inline constexpr const char* kRefuseRegistrationEnv = "QUILLET_TESTCOMPONENT_REFUSE";
// Set: the NotesSession class is answered with a greeter instead of a session.
inline constexpr const char* kNoSessionEnv = "QUILLET_TESTCOMPONENT_NO_SESSION";

class IGreeter : public platform::ComObject {
public:
    virtual QString greet(const QString& name) = 0;
};

} // namespace testcomponent
