// The show's side of the metafile helper: starting it, one request at a time over a
// socket, and replacing it when it fails.

#include "MetafileHelper.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace rt {

using namespace metafile;

namespace {

// A moment on the clock's monotonic time, and how long until it.
struct Deadline {
    const Clock& clock;
    std::chrono::nanoseconds at;

    [[nodiscard]] int msLeft() const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(at - clock.monotonic());
        return int(std::max<std::int64_t>(0, left.count()));
    }
};

// Waits until the socket is ready for `events`, or the deadline.
bool ready(int fd, short events, const Deadline& deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, deadline.msLeft());
        if (n > 0) return true;
        if (n == 0 || errno != EINTR) return false;
    }
}

enum class Io { Done, Closed, Late };

Io sendAll(int fd, const char* data, std::size_t length, const Deadline& deadline) {
    while (length > 0) {
        if (!ready(fd, POLLOUT, deadline)) return Io::Late;
        const ssize_t n = ::send(fd, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return Io::Closed;
        data += n;
        length -= std::size_t(n);
    }
    return Io::Done;
}

Io readAll(int fd, char* data, std::size_t length, const Deadline& deadline) {
    while (length > 0) {
        if (!ready(fd, POLLIN, deadline)) return Io::Late;
        const ssize_t n = ::recv(fd, data, length, MSG_DONTWAIT);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return Io::Closed;
        data += n;
        length -= std::size_t(n);
    }
    return Io::Done;
}

QString ioFailure(Io io) {
    return io == Io::Late ? QStringLiteral("the metafile helper took too long")
                          : QStringLiteral("the metafile helper stopped");
}

} // namespace

struct MetafileHelper::Reply {
    Answer answer;
    QImage image;
    QString reason;
};

MetafileHelper::MetafileHelper(const Clock& clock, QString program, QStringList arguments,
                               Deadlines deadlines)
    : clock_(clock), program_(std::move(program)), arguments_(std::move(arguments)),
      deadlines_(deadlines) {}

MetafileHelper::~MetafileHelper() {
    stop();
}

void MetafileHelper::shutDown() {
    const std::lock_guard lock(mutex_);
    stop();
}

int MetafileHelper::starts() const {
    const std::lock_guard lock(mutex_);
    return starts_;
}

Error MetafileHelper::start() {
    int pair[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair) != 0)
        return refusedPicture(QStringLiteral("no socket for the metafile helper"));
    // The helper's end above the numbers it is given, so that placing it clears close-on-exec.
    const int theirs = ::fcntl(pair[1], F_DUPFD_CLOEXEC, HelperSocket + 1);
    ::close(pair[1]);
    if (theirs < 0) {
        ::close(pair[0]);
        return refusedPicture(QStringLiteral("no socket for the metafile helper"));
    }

    // Standard streams on /dev/null, the socket, and no other descriptor of the show.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, theirs, HelperSocket);
    posix_spawn_file_actions_addclosefrom_np(&actions, HelperSocket + 1);
    // Signals as by default, whatever the show has set.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t all, none;
    sigfillset(&all);
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

    const QByteArray path = program_.toLocal8Bit();
    std::vector<QByteArray> args{path};
    for (const QString& a : arguments_)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    const int spawned =
        ::posix_spawn(&pid, path.constData(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    ::close(theirs);
    if (spawned != 0) {
        ::close(pair[0]);
        return refusedPicture(QStringLiteral("the metafile helper cannot be started: ") +
                              QString::fromLocal8Bit(std::strerror(spawned)));
    }
    pid_ = pid;
    socket_ = pair[0];
    ++starts_;

    Answer hello;
    const Io io = readAll(
        socket_, reinterpret_cast<char*>(&hello), sizeof hello,
        Deadline{clock_, clock_.monotonic() + std::chrono::milliseconds(deadlines_.startMs)});
    if (io != Io::Done) return fail(ioFailure(io));
    if (hello.magic != AnswerMagic || hello.status != Status::Ready || hello.length != 0)
        return fail(QStringLiteral("the metafile helper gave a malformed answer"));
    confinement_ = {hello.width, hello.height == 1};
    return Error::none();
}

void MetafileHelper::stop() {
    if (socket_ >= 0) ::close(socket_);
    socket_ = -1;
    if (pid_ > 0) {
        ::kill(pid_, SIGKILL);
        while (::waitpid(pid_, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
    pid_ = -1;
}

Error MetafileHelper::fail(const QString& why) {
    stop();
    return refusedPicture(why);
}

Result<MetafileHelper::Reply> MetafileHelper::exchange(const Request& request,
                                                       const QByteArray& bytes) {
    const std::lock_guard lock(mutex_);
    // A helper that hung up or spoke out of turn since the last answer is replaced first.
    if (socket_ >= 0) {
        pollfd p{socket_, POLLIN, 0};
        if (::poll(&p, 1, 0) != 0) stop();
    }
    Reply reply;
    Answer& a = reply.answer;
    const Deadline deadline{clock_,
                            clock_.monotonic() + std::chrono::milliseconds(deadlines_.answerMs)};
    // A helper that served before and hangs up before answering may have died while idle,
    // just before this request: the request goes once more to a fresh one.
    for (int attempt = 0;; ++attempt) {
        const bool fresh = socket_ < 0;
        if (fresh)
            if (const Error e = start(); e.failed()) return e;
        Io io = sendAll(socket_, reinterpret_cast<const char*>(&request), sizeof request, deadline);
        if (io == Io::Done)
            io = sendAll(socket_, bytes.constData(), std::size_t(bytes.size()), deadline);
        if (io == Io::Done) io = readAll(socket_, reinterpret_cast<char*>(&a), sizeof a, deadline);
        if (io == Io::Done) break;
        if (io == Io::Closed && !fresh && attempt == 0) {
            stop();
            continue;
        }
        return fail(ioFailure(io));
    }
    Io io = Io::Done;
    // Only the answer this request can have, of exactly its size, is read further.
    const QString malformed = QStringLiteral("the metafile helper gave a malformed answer");
    if (a.magic != AnswerMagic) return fail(malformed);
    switch (a.status) {
    case Status::Refused: {
        if (a.length > MaxReasonBytes) return fail(malformed);
        QByteArray text(qsizetype(a.length), Qt::Uninitialized);
        io = readAll(socket_, text.data(), a.length, deadline);
        if (io != Io::Done) return fail(ioFailure(io));
        reply.reason = QString::fromUtf8(text);
        return reply;
    }
    case Status::Size:
        if (request.op != Op::Size || a.length != 0 || a.width < 1 || a.height < 1 ||
            a.width > MaxSide || a.height > MaxSide)
            return fail(malformed);
        return reply;
    case Status::Image: {
        if (request.op != Op::Render || a.width != request.width || a.height != request.height ||
            std::int64_t(a.length) != std::int64_t(a.width) * a.height * 4)
            return fail(malformed);
        QImage image(a.width, a.height, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull() || image.sizeInBytes() != qsizetype(a.length))
            return fail(QStringLiteral("no memory for the picture"));
        io = readAll(socket_, reinterpret_cast<char*>(image.bits()), a.length, deadline);
        if (io != Io::Done) return fail(ioFailure(io));
        reply.image = std::move(image);
        return reply;
    }
    default:
        return fail(malformed);
    }
}

Result<QSize> MetafileHelper::size(Kind kind, const QByteArray& bytes) {
    if (quint64(bytes.size()) > MaxFileBytes)
        return refusedPicture(QStringLiteral("the metafile is too large"));
    Request r;
    r.op = Op::Size;
    r.kind = kind;
    r.length = std::uint32_t(bytes.size());
    const Result<Reply> reply = exchange(r, bytes);
    if (!reply.ok()) return reply.error();
    const Answer& a = reply.value().answer;
    if (a.status == Status::Refused) return refusedPicture(reply.value().reason);
    return QSize(a.width, a.height);
}

Result<QImage> MetafileHelper::render(Kind kind, const QByteArray& bytes, QSize size) {
    if (quint64(bytes.size()) > MaxFileBytes)
        return refusedPicture(QStringLiteral("the metafile is too large"));
    if (size.width() < 1 || size.height() < 1 || size.width() > MaxSide ||
        size.height() > MaxSide || std::int64_t(size.width()) * size.height() > MaxPixels)
        return refusedPicture(QStringLiteral("the picture cannot be drawn at that size"));
    Request r;
    r.op = Op::Render;
    r.kind = kind;
    r.width = size.width();
    r.height = size.height();
    r.length = std::uint32_t(bytes.size());
    Result<Reply> reply = exchange(r, bytes);
    if (!reply.ok()) return reply.error();
    if (reply.value().answer.status == Status::Refused) return refusedPicture(reply.value().reason);
    return std::move(reply).value().image;
}

} // namespace rt
