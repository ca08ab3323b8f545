#pragma once
// The parts of a check run at once: on the calling thread and one more (the files are read
// from the page cache or the disk at a speed one thread's parsing cannot keep up with).
#include "core/progress.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace tq {

// What a task is handed: where to say how far it got, and working memory of its thread,
// kept from one task to the next.
class TaskContext {
public:
    // `bytes` more of the check's bytes read.
    virtual void advance(uint64_t bytes) = 0;
    template <class T> T& scratch() {
        if (!scratch_) scratch_ = std::shared_ptr<void>(new T(), [](void* p) { delete static_cast<T*>(p); });
        return *static_cast<T*>(scratch_.get());
    }

protected:
    ~TaskContext() = default;

private:
    std::shared_ptr<void> scratch_;
};

using CheckTask = std::function<void(TaskContext&)>;

// Runs every task once, in order of their start, on up to `threads` threads (1 or 2); returns
// when all have run. Progress (the bar from the bytes the tasks report against `totalBytes`, and the pump)
// is only ever called from the calling thread: a window repaints from its own. Of the tasks
// that threw, the one of least `rank` (its place in the list when no ranks are given: the
// order in which one thread would have met the errors) has its exception thrown here; tasks
// not yet begun when one throws are left out.
void RunCheckTasks(const std::vector<CheckTask>& tasks, uint64_t totalBytes, const Progress& progress,
                   const std::vector<size_t>& rank = {}, unsigned threads = 2);

} // namespace tq
