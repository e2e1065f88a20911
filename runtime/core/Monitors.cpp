// Which monitor a window is on: the one that holds most of it.

#include "Platform.h"

namespace rt {

int monitorHolding(const QRect& window, const QList<QRect>& monitors, int fallback) {
    int best = fallback;
    qint64 most = 0;
    for (qsizetype i = 0; i < monitors.size(); ++i) {
        const QRect common = window.intersected(monitors[i]);
        const qint64 area = common.isEmpty() ? 0 : qint64(common.width()) * common.height();
        if (area > most) {
            most = area;
            best = int(i);
        }
    }
    return best;
}

} // namespace rt
