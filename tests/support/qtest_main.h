#pragma once
// main() of the editor's Qt Test programs.

#include <QApplication>
#include <QTest>

#include "support/private_environment.h"

/// main() of a Qt Test program (QTEST_MAIN's, with QApplication) in a PrivateEnvironment.
#define LUMAVEX_QTEST_MAIN(TestObject)                       \
    int main(int argc, char** argv)                          \
    {                                                        \
        const lumavex::test::PrivateEnvironment environment; \
        QApplication app(argc, argv);                        \
        app.setAttribute(Qt::AA_Use96Dpi, true);             \
        TestObject test;                                     \
        QTEST_SET_MAIN_SOURCE_PATH                           \
        return QTest::qExec(&test, argc, argv);              \
    }
