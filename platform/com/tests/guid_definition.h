// A GUID named with DEFINE_GUID and defined by two translation units.
#pragma once

#include "guiddef.h"

DEFINE_GUID(GUID_TwiceDefined, 0x8c1d4f20, 0x35a7, 0x4e19, 0xb2, 0x06, 0x7d, 0x51, 0xe3, 0x9a, 0x0c,
            0x44);

// The GUID's address as the other translation unit sees it.
const GUID* TwiceDefinedSeenElsewhere();
