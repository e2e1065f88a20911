// The workers: keyed jobs take the place of the waiting one, and a worker whose thread is
// blocked goes at once.

#include "Worker.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

// A gate a job waits at until the test opens it: a thread blocked as a share blocks it.
struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false, reached = false;
    void wait() {
        std::unique_lock lock(m);
        reached = true;
        cv.notify_all();
        cv.wait(lock, [&] { return open; });
    }
    void waitReached() {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return reached; });
    }
    void letGo() {
        std::lock_guard lock(m);
        open = true;
        cv.notify_all();
    }
};

// What the jobs ran, in order, shared with them.
struct Ran {
    std::mutex m;
    std::vector<std::string> names;
    void add(const std::string& n) {
        std::lock_guard lock(m);
        names.push_back(n);
    }
    std::vector<std::string> all() {
        std::lock_guard lock(m);
        return names;
    }
};

} // namespace

TEST(Worker, AKeyedJobTakesThePlaceOfTheWaitingJobOfItsKey) {
    auto gate = std::make_shared<Gate>();
    auto ran = std::make_shared<Ran>();
    rt::Worker w(1);
    w.post([gate] { gate->wait(); }); // the thread is busy: everything after waits
    gate->waitReached();
    const auto job = [ran](const std::string& n) { return [ran, n] { ran->add(n); }; };
    w.post(1, job("comment a"));
    w.post(2, job("music a"));
    w.post(job("plain a"));
    w.post(1, job("comment b")); // replaces "comment a", in its place in the queue
    w.post(rt::Worker::Unkeyed, job("plain b"));
    w.post(rt::Worker::Unkeyed, job("plain c")); // unkeyed jobs never replace each other
    QFuture<int> first = w.run(3, [ran] {
        ran->add("first");
        return 1;
    });
    QFuture<int> second = w.run(3, [ran] {
        ran->add("second");
        return 2;
    });
    gate->letGo();
    ASSERT_TRUE(w.waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(ran->all(), (std::vector<std::string>{"comment b", "music a", "plain a", "plain b",
                                                    "plain c", "second"}));
    // The replaced job's future is cancelled, never given a result; the other has its own.
    EXPECT_TRUE(first.isCanceled());
    EXPECT_EQ(first.resultCount(), 0);
    ASSERT_EQ(second.resultCount(), 1);
    EXPECT_EQ(second.result(), 2);
    // Once a job has started, a job of its key queues behind it.
    auto started = std::make_shared<Gate>();
    w.post(4, [started] { started->wait(); });
    started->waitReached();
    w.post(4, job("after the running one"));
    started->letGo();
    ASSERT_TRUE(w.waitIdle(std::chrono::seconds(10)));
    EXPECT_EQ(ran->all().back(), "after the running one");
}

TEST(Worker, DestroyedWithABlockedThreadItReturnsAtOnceAndDropsTheWaitingJobs) {
    auto gate = std::make_shared<Gate>();
    auto ran = std::make_shared<Ran>();
    auto other = std::make_shared<Gate>();
    QFuture<int> waiting;
    QElapsedTimer clock;
    {
        rt::Worker w(2);
        w.post([gate] { gate->wait(); });
        w.post([other] { other->wait(); });
        gate->waitReached();
        other->waitReached();
        waiting = w.run(rt::Worker::Unkeyed, [ran] {
            ran->add("never");
            return 0;
        });
        clock.start();
    }
    // No thread is waited for: not the blocked one, nor the one that would end its job.
    EXPECT_LT(clock.elapsed(), 1000);
    EXPECT_TRUE(waiting.isCanceled());
    // The blocked jobs end later on their own, with what they own.
    other->letGo();
    gate->letGo();
    QElapsedTimer later;
    later.start();
    while (gate.use_count() > 1 && later.elapsed() < 10'000)
        std::this_thread::yield();
    EXPECT_EQ(gate.use_count(), 1); // the job, and its capture, are gone
    EXPECT_TRUE(ran->all().empty());
}
