// A program of the domain library alone: it builds and runs without Qt
// Widgets, and the readings compiled into the library are there.
#include "domain/archive/pinyinmatcher.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    return PinyinMatcher(QStringLiteral("wf")).matches(QStringLiteral("王芳")) ? 0 : 1;
}
