// Resource identifiers of VornNetwork.
#pragma once

#define IDS_PROJNAME 100
#define IDR_VORNLANNETWORK 102
