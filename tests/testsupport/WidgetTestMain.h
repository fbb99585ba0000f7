#pragma once

#include <QApplication>
#include <QTest>

/**
 * main() for tests that create windows: like QTEST_MAIN, but sets what the web
 * views need before the application object exists.
 */
#define QUILLON_WIDGET_TEST_MAIN(TestObject)                                                                    \
    int main(int argc, char* argv[])                                                                           \
    {                                                                                                          \
        QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);                                            \
        QApplication app(argc, argv);                                                                          \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                               \
        TestObject tc;                                                                                         \
        QTEST_SET_MAIN_SOURCE_PATH                                                                             \
        return QTest::qExec(&tc, argc, argv);                                                                  \
    }
