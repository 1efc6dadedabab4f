#pragma once

#include "BoxCloser.h"
#include "DemoService.h"

#include <QApplication>
#include <QtTest>

// The main() of a suite that loads pages: the demo service's scheme before the application
// object, its handler after, and a closer for the modal boxes a failed load or a closing class
// opens, so that no test hangs on one.
template <typename Test> int runWebTest(int argc, char **argv)
{
    DemoService::registerScheme();
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    app.setApplicationName(QStringLiteral("brimvale"));
    DemoService::install();
    BoxCloser closer;
    BoxCloser::instance() = &closer;
    Test test;
    return QTest::qExec(&test, argc, argv);
}
