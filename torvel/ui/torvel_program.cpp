#include "torvel_program.h"

#include "torvel_logic_link.h"

TTorvelProgram::TTorvelProgram(const std::string& programDir) : Database(programDir) {
    if (!LoadFailed)
        ComputeInitialStandings();
}
