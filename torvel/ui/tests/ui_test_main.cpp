// The GUI tests run inside the program's own application object.

#include "torvel_application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // Headless unless told otherwise, also when CTest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
