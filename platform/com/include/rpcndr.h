// What headers generated from IDL declare interfaces with.
#pragma once

#include "rpc.h"

#define MIDL_INTERFACE(x) struct DECLSPEC_UUID(x) DECLSPEC_NOVTABLE
