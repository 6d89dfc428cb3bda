// The filter graph manager and the reference renderer are classes built into the
// platform: this makes them known to CoCreateInstance (once; later calls do nothing).
// It also starts the media runtime and loads every plugin a graph may use, so that no
// graph needs the dynamic loader afterwards: a library that registers the classes when
// it loads can end its graphs while it unloads.
#pragma once

namespace directshow {

void RegisterBuiltinClasses();

} // namespace directshow
