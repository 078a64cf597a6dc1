#include "modern_window.h"
#include "utils/utils.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    ModernWindow window;
    // A start at log-on stays in the tray.
    if (!isStartupLaunch(QCoreApplication::arguments()))
        window.show();
    return QApplication::exec();
}
