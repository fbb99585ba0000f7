#include "app/AppPaths.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillon"));
    quillon::AppPaths::applyCommandLine(QApplication::arguments());
    return 0;
}
