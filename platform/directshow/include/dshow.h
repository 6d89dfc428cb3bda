// Umbrella header of the filter graph stand-in.
#pragma once

#include "control.h"
#include "evcode.h"
#include "strmif.h"
#include "uuids.h"
