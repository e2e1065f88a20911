#pragma once
// Threads that do the file work away from the user-interface thread, so that the event
// loop never waits on a file (a network share that answers slowly, or not at all).
//
// A Worker runs jobs in the order they were posted, on a fixed number of threads of its
// own. A job posted under a key replaces the job of that key still waiting, so a caller
// that posts the same kind of work again and again (the next picture, the next sound)
// never piles jobs up behind a thread blocked in the kernel. The destructor drops the
// waiting jobs and returns at once: a running job ends on its own, and one blocked in the
// kernel is left to end with the process, never joined. A job therefore owns (or shares)
// everything it touches.

#include <QFuture>
#include <QPromise>

#include <chrono>
#include <functional>
#include <memory>
#include <type_traits>

namespace rt {

class Worker {
public:
    // `threads` threads, started now and kept until the worker goes.
    explicit Worker(int threads = 1);
    ~Worker();
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Queues a job behind the others.
    void post(std::function<void()> job);
    // Queues a job, or puts it in place of the waiting job posted under the same key.
    void post(int key, std::function<void()> job);

    // Runs `f` on the worker; the future holds its result, or is cancelled when the job is
    // replaced or dropped before it ran.
    template <class F> auto run(int key, F f) -> QFuture<std::invoke_result_t<F>> {
        using R = std::invoke_result_t<F>;
        auto promise = std::make_shared<QPromise<R>>();
        QFuture<R> future = promise->future();
        promise->start();
        post(key, [promise, f = std::move(f)]() mutable {
            if (!promise->isCanceled()) promise->addResult(f());
            promise->finish();
        });
        return future;
    }

    // Drops the jobs not yet started.
    void dropWaiting();
    // Waits until no job is waiting or running, for at most `bound`; whether it is idle.
    [[nodiscard]] bool waitIdle(std::chrono::milliseconds bound) const;

    // No key: the job only queues.
    static constexpr int Unkeyed = -1;

private:
    struct State;
    std::shared_ptr<State> s_;
};

} // namespace rt
