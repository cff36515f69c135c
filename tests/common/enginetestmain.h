#pragma once

#include "enginehelper.h"
#include "enginesubprocess.h"

#include <QApplication>
#include <QtTest>

// main() for tests that run the browser engine. The test binary is its own
// engine helper, exactly like the program: engine processes started from it
// run the engine's sub-process entry instead of the tests.
#define TRADORY_ENGINE_TEST_MAIN(TestClass)                                                                    \
    int main(int argc, char *argv[])                                                                           \
    {                                                                                                          \
        if (isEngineSubProcess(argc, argv))                                                                    \
            return runEngineSubProcess(argc, argv);                                                            \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts, true);                                      \
        QApplication application(argc, argv);                                                                  \
        TestClass test;                                                                                        \
        return QTest::qExec(&test, argc, argv);                                                                \
    }
