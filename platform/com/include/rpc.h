// The RPC runtime as far as generated interface headers use it: the calling convention
// of user marshaling routines.
#pragma once

#include "guiddef.h"
#include "windows.h"

#define __RPC_API
#define __RPC_USER
