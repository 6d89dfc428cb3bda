#pragma once
// The program's windows and database module, created in the program's order:
// the main window first, then the database loading both files, then the
// other windows. Destroyed in reverse order.

#include "torvel_artilheiros.h"
#include "torvel_database.h"
#include "torvel_empate.h"
#include "torvel_main.h"
#include "torvel_status.h"

#include <string>

class TTorvelProgram {
public:
    explicit TTorvelProgram(const std::string& programDir);
    ~TTorvelProgram();
    TTorvelProgram(const TTorvelProgram&) = delete;
    TTorvelProgram& operator=(const TTorvelProgram&) = delete;

    TformTorvel FormTorvel;
    TTorvelDatabase Database;
    TformStatus FormStatus;
    TformEmpate FormEmpate;
    TformArtilheiros FormArtilheiros;
};
