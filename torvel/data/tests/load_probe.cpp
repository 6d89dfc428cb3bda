// Loads the data beside this executable, as the program does, and reports in
// one line what it found; used to check that the working directory plays no
// part in finding dados/.

#include "torvel_database.h"

#include <cstdio>

int main() {
    TTorvelDatabase database;
    if (LoadFailed) {
        std::printf("load failed in %sdados: %s\n", ProgramDir.c_str(), LoadFailedReason.c_str());
        return 1;
    }
    std::printf("%d teams and %d matches loaded from %sdados\n", database.Selecoes.Count(),
                database.Jogos.Count(), ProgramDir.c_str());
    return 0;
}
