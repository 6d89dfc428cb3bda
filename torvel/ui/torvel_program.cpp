#include "torvel_program.h"

#include "torvel_qualification.h"

TTorvelProgram::TTorvelProgram(const std::string& programDir) : Database(programDir) {
    TieQuestion = &FormEmpate;
    if (!LoadFailed)
        ComputeInitialStandings();
}

TTorvelProgram::~TTorvelProgram() {
    if (TieQuestion == &FormEmpate)
        TieQuestion = nullptr;
}
