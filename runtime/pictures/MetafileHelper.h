#pragma once
// The show's side of the metafile helper: WMF and EMF files are measured and drawn in a
// separate, confined process (quadrello-metafile, beside the program), never in the show's
// own. A helper that crashes, hangs, or answers out of turn costs the picture (481) and is
// started afresh for the next one. Safe to call from any thread; calls take turns. The
// program makes one in `main`, for the helper beside it, and hands it to the picture
// loader through the platform.

#include "Clock.h"
#include "MetafileDrawer.h"
#include "MetafileProtocol.h"
#include "Result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <mutex>
#include <sys/types.h>

namespace rt {

struct HelperDeadlines {
    int startMs = 5'000;   // from start to its greeting
    int answerMs = 10'000; // from request to the whole answer
};

class MetafileHelper final : public MetafileDrawer {
public:
    using Deadlines = HelperDeadlines;
    // What the helper said about its confinement when it started.
    struct Confinement {
        int landlockAbi = 0;
        bool syscallFilter = false;
    };

    // The helper `program`, its deadlines kept on the monotonic time of `clock`.
    MetafileHelper(const Clock& clock, QString program, QStringList arguments = {},
                   Deadlines deadlines = {});
    ~MetafileHelper() override;
    MetafileHelper(const MetafileHelper&) = delete;
    MetafileHelper& operator=(const MetafileHelper&) = delete;

    // The natural size of a metafile in pixels at 96 dpi.
    [[nodiscard]] Result<QSize> size(MetafileKind kind, const QByteArray& bytes) override;
    // The metafile drawn into `size` device pixels on a transparent background.
    [[nodiscard]] Result<QImage> render(MetafileKind kind, const QByteArray& bytes,
                                        QSize size) override;

    // Stops the helper, if one runs; the next call starts a new one.
    void shutDown();

    // How many helpers were started so far.
    [[nodiscard]] int starts() const;

private:
    struct Reply;
    Result<Reply> exchange(const metafile::Request& request, const QByteArray& bytes);
    Error start();
    void stop();
    Error fail(const QString& why); // stops the helper; the error to return

    const Clock& clock_;
    QString program_;
    QStringList arguments_;
    Deadlines deadlines_;
    mutable std::mutex mutex_;
    pid_t pid_ = -1;
    int socket_ = -1;
    int starts_ = 0;
    Confinement confinement_;
};

} // namespace rt
