// Entry points of libdominoobjects.so.
#include "platform/com.h"

extern "C" __attribute__((visibility("default"))) platform::ComObject* QuilletCreateObject(const char*)
{
    return nullptr;
}
