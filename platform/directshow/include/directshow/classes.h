// The filter graph manager and the reference renderer are classes built into the
// platform: this makes them known to CoCreateInstance (once; later calls do nothing).
#pragma once

namespace directshow {

void RegisterBuiltinClasses();

} // namespace directshow
