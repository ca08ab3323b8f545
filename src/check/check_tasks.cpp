#include "check/check_tasks.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace tq {

namespace {

struct Shared {
    Shared(const std::vector<CheckTask>& t) : tasks(t), errors(t.size()) {}
    const std::vector<CheckTask>& tasks;
    std::vector<std::exception_ptr> errors;
    std::atomic<size_t> next{0};
    std::atomic<uint64_t> done{0};
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool helperDone = false;
};

class Context : public TaskContext {
public:
    Context(Shared& shared, const Progress* progress, uint64_t total) : shared_(shared), progress_(progress), total_(total) {}
    void advance(uint64_t bytes) override {
        const uint64_t done = shared_.done.fetch_add(bytes, std::memory_order_relaxed) + bytes;
        if (progress_) report(done);
    }
    void report(uint64_t done) const {
        progress_->report(int(std::min(done, total_) * 100 / total_));
        progress_->pumpEvents();
    }

private:
    Shared& shared_;
    const Progress* progress_;  // the calling thread's only
    uint64_t total_;
};

// Runs task `i`, then each task not yet taken, until none is left or one failed.
void runTasks(Shared& shared, Context& context, size_t i) {
    for (;; i = shared.next.fetch_add(1)) {
        if (shared.failed.load()) return;
        if (i >= shared.tasks.size()) return;
        try {
            shared.tasks[i](context);
        } catch (...) {
            shared.errors[i] = std::current_exception();
            shared.failed.store(true);
        }
    }
}

} // namespace

void RunCheckTasks(const std::vector<CheckTask>& tasks, uint64_t totalBytes, const Progress& progress,
                   const std::vector<size_t>& rank, unsigned threads) {
    Shared shared(tasks);
    const uint64_t total = std::max<uint64_t>(totalBytes, 1);
    Context mine(shared, &progress, total);
    // This thread takes the first task before the other one starts, so that it moves the bar
    // on a world however small (the other thread could otherwise take every task first).
    const size_t firstTask = shared.next.fetch_add(1);
    bool helper = threads > 1 && tasks.size() > 1 && std::thread::hardware_concurrency() != 1;
    std::thread other;
    if (helper) {
        try {
            other = std::thread([&shared, total] {
                Context theirs(shared, nullptr, total);
                runTasks(shared, theirs, shared.next.fetch_add(1));
                std::lock_guard<std::mutex> lock(shared.mutex);
                shared.helperDone = true;
                shared.finished.notify_all();
            });
        } catch (const std::system_error&) {
            helper = false;  // no thread to be had: all on this one
        }
    }
    runTasks(shared, mine, firstTask);
    if (helper) {
        // The other thread's last task: keep the bar moving and the window painted meanwhile.
        std::unique_lock<std::mutex> lock(shared.mutex);
        while (!shared.finished.wait_for(lock, std::chrono::milliseconds(50), [&] { return shared.helperDone; })) {
            lock.unlock();
            mine.report(shared.done.load());
            lock.lock();
        }
        lock.unlock();
        other.join();
        mine.report(shared.done.load());  // the bar where the other thread left it
    }
    size_t first = tasks.size();
    for (size_t i = 0; i < tasks.size(); ++i) {
        if (!shared.errors[i]) continue;
        if (first == tasks.size() || (rank.empty() ? i < first : rank[i] < rank[first])) first = i;
    }
    if (first < tasks.size()) std::rethrow_exception(shared.errors[first]);
}

} // namespace tq
