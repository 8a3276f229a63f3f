// main() for GoogleTest programs that need a QGuiApplication (offscreen unless told otherwise).
#include <QGuiApplication>

#include <gtest/gtest.h>

#include "bridge/fonts.h"

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QGuiApplication app(argc, argv);
    lumavex::installFonts();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
