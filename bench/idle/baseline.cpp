// The least a tray program costs when idle: an application, a tray icon with
// a menu, and the event loop.

#include <QApplication>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QMenu menu;
    menu.addAction(QStringLiteral("Quit"), &app, &QApplication::quit);
    QSystemTrayIcon tray(app.style()->standardIcon(QStyle::SP_ComputerIcon));
    tray.setContextMenu(&menu);
    tray.show();
    return QApplication::exec();
}
