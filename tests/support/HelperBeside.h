#pragma once
// The real metafile helper, which the build copies beside the test and tool executables,
// on a clock of its own; a loader handed it.

#include "MetafileHelper.h"
#include "PictureLoader.h"

#include <QFile>
#include <QFileInfo>

struct HelperBeside {
    static QString program() {
        return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).absolutePath() +
               QStringLiteral("/quadrello-metafile");
    }
    rt::SystemClock clock;
    rt::MetafileHelper helper{clock, program()};
    rt::PictureLoader loader{helper};
};
