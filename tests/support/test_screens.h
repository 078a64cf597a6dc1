#pragma once

#include <QList>
#include <QString>

// One monitor of the offscreen platform.
struct TestScreen
{
    QString name;
    int x = 0;
    int y = 0;
    int width = 1920;
    int height = 1080;
    double dpr = 1.0;
    int logicalDpi = 96;
};

// Replaces the offscreen platform's monitors at run time. Afterwards
// QGuiApplication::screens() lists them in the order of their names, and the
// one whose name sorts first is primary. Names must be unique.
class TestScreens
{
public:
    static void apply(const QList<TestScreen>& screens);
};
