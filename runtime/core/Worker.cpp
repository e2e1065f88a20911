// Worker threads with a queue of jobs, replaceable by key, that never join a blocked thread.

#include "Worker.h"

#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace rt {

struct Worker::State {
    struct Job {
        int key;
        std::function<void()> run;
    };

    std::mutex m;
    std::condition_variable wake;     // a job was queued, or the worker stops
    std::condition_variable idleWake; // a job ended, or a thread left
    std::deque<Job> queue;
    int running = 0;
    int threads = 0; // alive
    bool stopping = false;

    void loop() {
        std::unique_lock lock(m);
        for (;;) {
            wake.wait(lock, [&] { return stopping || !queue.empty(); });
            if (stopping) break;
            Job job = std::move(queue.front());
            queue.pop_front();
            ++running;
            lock.unlock();
            job.run();
            job.run = nullptr; // whatever the job holds goes before the worker is told
            lock.lock();
            --running;
            idleWake.notify_all();
        }
        --threads;
        idleWake.notify_all();
    }
};

Worker::Worker(int threads) : s_(std::make_shared<State>()) {
    s_->threads = threads;
    for (int i = 0; i < threads; ++i) {
        // Each thread keeps the state alive: one left blocked outlives the worker safely.
        std::thread([state = s_] { state->loop(); }).detach();
    }
}

Worker::~Worker() {
    // Nothing is waited for: a running job owns what it uses and ends on its own, its
    // thread with it, or with the process when a share holds it in the kernel.
    std::deque<State::Job> dropped;
    {
        std::lock_guard lock(s_->m);
        s_->stopping = true;
        dropped.swap(s_->queue);
    }
    s_->wake.notify_all();
    // The dropped jobs are destroyed outside the lock: a job's promise cancels its future.
}

void Worker::post(std::function<void()> job) {
    post(Unkeyed, std::move(job));
}

void Worker::post(int key, std::function<void()> job) {
    std::function<void()> replaced;
    {
        std::lock_guard lock(s_->m);
        if (key != Unkeyed) {
            for (State::Job& waiting : s_->queue) {
                if (waiting.key != key) continue;
                replaced = std::exchange(waiting.run, std::move(job));
                return;
            }
        }
        s_->queue.push_back({key, std::move(job)});
    }
    s_->wake.notify_one();
}

void Worker::dropWaiting() {
    std::deque<State::Job> dropped;
    std::lock_guard lock(s_->m);
    dropped.swap(s_->queue);
}

bool Worker::waitIdle(std::chrono::milliseconds bound) const {
    std::unique_lock lock(s_->m);
    return s_->idleWake.wait_for(lock, bound,
                                 [&] { return s_->queue.empty() && s_->running == 0; });
}

} // namespace rt
