// Program start: the application, then the database module loading both data
// files beside the executable.

#include "torvel_database.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication application(argc, argv);
    QApplication::setApplicationName("Torvel");
    QApplication::setApplicationDisplayName("Torvel");

    TTorvelDatabase database;
    if (LoadFailed) {
        std::printf("Torvel: falha ao carregar os dados de %sdados: %s\n", ProgramDir.c_str(),
                    LoadFailedReason.c_str());
        return 1;
    }
    std::printf("Torvel: %d seleções e %d jogos carregados de %sdados\n", database.Selecoes.Count(),
                database.Jogos.Count(), ProgramDir.c_str());
    return 0;
}
