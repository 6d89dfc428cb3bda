// OLE: the COM runtime and OLE Automation.
#pragma once

#include "objbase.h"
#include "oleauto.h"
