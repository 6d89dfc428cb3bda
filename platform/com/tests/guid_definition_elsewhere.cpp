#define INITGUID
#include "guid_definition.h"

const GUID* TwiceDefinedSeenElsewhere() {
    return &GUID_TwiceDefined;
}
