// Compiled into every program that links the directplay target, so that its classes are
// registered before main even when the program names no DirectPlay symbol itself.
#include "directplay/classes.h"

namespace {

const bool registered = (directplay::RegisterClasses(), true);

} // namespace
