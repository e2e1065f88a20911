// Two helpers for the screen-awake test.
//   awake_helper standin LOG  a stand-in for the desktop's screen saver service on the
//                             session bus: writes "ready", then each Inhibit and UnInhibit
//                             call, one line each, to LOG.
//   awake_helper xstate       prints the X screen saver's state: on, off or disabled.

#include <QCoreApplication>
#include <QDBusConnection>
#include <QFile>
#include <QObject>

#include <X11/Xlib.h>
#include <X11/extensions/scrnsaver.h>

#include <cstdio>
#include <cstring>

namespace {

class StandIn final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")

public:
    explicit StandIn(const QString& logPath) : log_(logPath) {
        log_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Unbuffered);
    }
    void write(const QString& line) { log_.write((line + QLatin1Char('\n')).toUtf8()); }

public slots:
    uint Inhibit(const QString& application, const QString& reason) {
        write(QStringLiteral("Inhibit %1 %2 (%3)").arg(next_).arg(application, reason));
        return next_++;
    }
    void UnInhibit(uint cookie) { write(QStringLiteral("UnInhibit %1").arg(cookie)); }

private:
    QFile log_;
    uint next_ = 41;
};

int xState() {
    Display* display = XOpenDisplay(nullptr);
    if (!display) return 2;
    XScreenSaverInfo* info = XScreenSaverAllocInfo();
    if (!XScreenSaverQueryInfo(display, DefaultRootWindow(display), info)) return 2;
    std::puts(info->state == ScreenSaverOn    ? "on"
              : info->state == ScreenSaverOff ? "off"
                                              : "disabled");
    XFree(info);
    XCloseDisplay(display);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "xstate") == 0) return xState();
    if (argc != 3 || std::strcmp(argv[1], "standin") != 0) return 2;
    QCoreApplication app(argc, argv);
    StandIn service(QString::fromLocal8Bit(argv[2]));
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/org/freedesktop/ScreenSaver"), &service,
                            QDBusConnection::ExportAllSlots) ||
        !bus.registerService(QStringLiteral("org.freedesktop.ScreenSaver")))
        return 1;
    service.write(QStringLiteral("ready"));
    return app.exec();
}

#include "awake_helper.moc"
