// The least a window costs to start: an application and a bare window of the
// main window's size, linked against the same libraries. Prints, as the
// benchmark's window does, the steady clock at the first paint, then leaves.

#include <QApplication>
#include <QEvent>
#include <QWidget>

#include <chrono>
#include <cstdio>

namespace {

qint64 now()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class Window : public QWidget
{
protected:
    bool event(QEvent* e) override
    {
        const bool handled = QWidget::event(e);
        if (e->type() == QEvent::Paint && !m_painted) {
            m_painted = true;
            std::printf("painted %lld\n", static_cast<long long>(now()));
            std::fflush(stdout);
            QCoreApplication::exit(0);
        }
        return handled;
    }

private:
    bool m_painted = false;
};

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    Window window;
    window.setFixedSize(725, 650);
    window.show();
    return QApplication::exec();
}
