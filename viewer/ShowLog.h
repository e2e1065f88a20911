#pragma once
// The show's timing log, off by default. Enable it with
//   QT_LOGGING_RULES="quadrello.show.debug=true"
// Each line carries the monotonic clock in nanoseconds, so that an outside probe on the
// same clock can measure what the screen shows against what the program did.

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcShow)
