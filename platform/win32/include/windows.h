// Umbrella header of the Win32 stand-in.
#pragma once

#include "winbase.h"
#include "windef.h"
#include "winerror.h"
#include "winuser.h"
