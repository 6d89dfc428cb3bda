// Program start: the application, the windows and the database module, then
// the message loop until the main window closes.

#include "torvel_application.h"
#include "torvel_program.h"

int main(int argc, char* argv[]) {
    TApplication application(argc, argv);
    TTorvelProgram program(TTorvelDatabase::ExecutableDir());
    program.FormTorvel.showMaximized();
    return application.exec();
}
