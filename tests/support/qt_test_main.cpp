// main() for GoogleTest programs that need a QGuiApplication (offscreen unless told otherwise),
// in a private environment.
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "bridge/fonts.h"
#include "support/private_environment.h"

int main(int argc, char** argv)
{
    const lumavex::test::PrivateEnvironment environment;
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    lumavex::installFonts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
