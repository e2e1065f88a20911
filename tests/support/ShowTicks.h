#pragma once
// Drives a show by hand, outside QtTest: the walk to its end, and ticks to their end (the
// picture arrives from the worker, the sounds reach the media), each wait bounded.

#include "FakePlatform.h"
#include "Form1.h"
#include "HelperBeside.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdint>
#include <functional>

// A settings dialog that accepts a show over `dosFolder`: a second a picture, comments and
// music on, transitions as `effects` says.
inline std::function<void()> acceptShow(settings::Modulo1& s, const QString& dosFolder,
                                        std::int16_t effects = 0) {
    return [&s, dosFolder, effects] {
        s.GoFlag = settings::True;
        s.FolderPath = dosFolder;
        s.TempoAttesa = 1000;
        s.Effetti = effects;
        s.SuonoWAV = 1;
        s.MusicaFM = 1;
    };
}

// Lets events run until `done` holds, at most `ms`; whether it holds.
template <class Done> bool runEventsUntil(Done done, int ms = 10'000) {
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// The walk started by Form_Load, to its end.
inline bool walkDone(viewer::Form1& form) {
    return runEventsUntil([&] { return form.slides().complete(); });
}

// A show over a host folder on a 1920 x 1080 fake platform, its metafiles drawn by the
// real helper: started (Form_Load) and walked to its end, if `walked`.
struct FullHdShow {
    explicit FullHdShow(const QString& folder)
        : form(fake.platform, s,
               acceptShow(s, rt::withBackslash(fake.files.toDos(folder).value()))) {
        fake.metafiles.drawer = &metafiles.helper;
        form.Form_Load();
        walked = walkDone(form);
    }
    FakePlatform fake{QStringLiteral("C:\\"), rt::DriveTable(), 1920 * 15, 1080 * 15};
    HelperBeside metafiles;
    settings::Modulo1 s;
    viewer::Form1 form;
    bool walked = false;
};

// One tick, to its end.
inline bool tickDone(viewer::Form1& form) {
    form.Timer1_Timer();
    return runEventsUntil([&] { return !form.tickUnderWay(); }) && form.waitForSounds(10'000);
}
