// A round trip to the X server, when there is one.

#include "DisplaySync.h"

#include <QGuiApplication>
#include <QtGui/qguiapplication_platform.h>

#include <X11/Xlib.h>

namespace rt {

void waitForDisplay() {
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (x11 && x11->display()) XSync(x11->display(), False);
}

} // namespace rt
