// Classes that the platform itself implements (DirectPlay, the filter graph, ...) are
// found by CoCreateInstance before the registry is consulted. A stand-in registers a
// function shaped like DllGetClassObject for each of its classes.
#pragma once

#include "objbase.h"

namespace com {

void RegisterBuiltinClass(const CLSID& clsid, LPFNGETCLASSOBJECT getClassObject);
void UnregisterBuiltinClass(const CLSID& clsid);

} // namespace com
