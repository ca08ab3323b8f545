#include "core/atomic_file.h"

#include "core/error.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace tq {

namespace {
std::string temporaryNameFor(const std::string& target) {
    static std::atomic<unsigned> counter{0};
    const auto stamp = static_cast<unsigned long long>(
        std::chrono::steady_clock::now().time_since_epoch().count());
    char suffix[64];
    std::snprintf(suffix, sizeof suffix, "%llx-%u", stamp & 0xffffffffull, counter++);
    return target + TemporaryMarker + suffix;
}

// Runs f; a failure of the file layer then names `path` (the name the user gave) rather
// than the temporary file or the link's target.
template <typename F>
auto naming(const std::string& path, F&& f) -> decltype(f()) {
    try {
        return f();
    } catch (Error& e) {
        e.setPath(path);
        throw;
    }
}

// The temporary file, its failures told under the name of the file it replaces.
class NamedFile final : public File {
public:
    NamedFile(std::unique_ptr<File> base, const std::string& name) : base_(std::move(base)), name_(name) {}
    void seek(uint64_t offset) override { naming(name_, [&] { base_->seek(offset); }); }
    uint64_t position() const override { return base_->position(); }
    uint64_t size() override { return naming(name_, [&] { return base_->size(); }); }
    void read(void* buffer, size_t n) override { naming(name_, [&] { base_->read(buffer, n); }); }
    size_t readSome(void* buffer, size_t n) override {
        return naming(name_, [&] { return base_->readSome(buffer, n); });
    }
    void write(const void* buffer, size_t n) override { naming(name_, [&] { base_->write(buffer, n); }); }
    void sync() override { naming(name_, [&] { base_->sync(); }); }
    void startWriteback() override { base_->startWriteback(); }
    void close() override { naming(name_, [&] { base_->close(); }); }
    std::string name() const override { return name_; }

private:
    std::unique_ptr<File> base_;
    const std::string& name_;
};
} // namespace

AtomicFile::AtomicFile(std::string target) : named_(std::move(target)) {
    naming(named_, [&] {
        FileSystem& fs = fileSystem();
        target_ = fs.resolveLinks(named_);
        // Truncating in place would have needed write access to the target; so does replacing
        // it. A rename would route around a file's protection, so it is checked here.
        fs.checkWritable(target_);
        tempPath_ = temporaryNameFor(target_);
        file_ = std::make_unique<NamedFile>(fs.open(tempPath_, OpenMode::Create), named_);
        try {
            // Before any byte is written: a private file's contents are never readable by others.
            fs.copyAttributes(target_, tempPath_);
        } catch (...) {
            file_.reset();
            try {
                fs.remove(tempPath_);
            } catch (...) {
            }
            throw;
        }
    });
}

AtomicFile::~AtomicFile() {
    if (!done_) {
        try {
            discard();
        } catch (...) {
            // Cleanup after an earlier failure; that failure is what the user sees.
        }
    }
}

void AtomicFile::prepare() {
    file_->sync();
    file_->close();
}

void AtomicFile::commitPrepared() {
    naming(named_, [&] { fileSystem().rename(tempPath_, target_); });
    done_ = true;
}

void AtomicFile::commit() {
    prepare();
    commitPrepared();
}

void AtomicFile::discard() {
    done_ = true;
    if (file_) file_.reset();
    fileSystem().remove(tempPath_);
}

struct BackgroundPrepare::Queue {
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::function<void()>> files;
    bool busy = false;  // a file is being prepared
    bool stop = false;
    std::exception_ptr failure;
    std::thread worker;

    void run() {
        std::unique_lock<std::mutex> lock(mutex);
        for (;;) {
            changed.wait(lock, [&] { return stop || !files.empty(); });
            if (files.empty()) return;
            const std::function<void()> job = std::move(files.front());
            files.pop_front();
            busy = true;
            lock.unlock();
            std::exception_ptr failed;
            try {
                job();
            } catch (...) {
                failed = std::current_exception();
            }
            lock.lock();
            busy = false;
            if (failed && !failure) failure = failed;
            changed.notify_all();
        }
    }
};

BackgroundPrepare::BackgroundPrepare() : queue_(std::make_unique<Queue>()) {}

BackgroundPrepare::~BackgroundPrepare() {
    {
        // Files not reached are left to be discarded with their AtomicFile.
        std::lock_guard<std::mutex> lock(queue_->mutex);
        queue_->stop = true;
        queue_->files.clear();
    }
    queue_->changed.notify_all();
    if (queue_->worker.joinable()) queue_->worker.join();
}

void BackgroundPrepare::add(AtomicFile& file) { addJob([&file] { file.prepare(); }); }

void BackgroundPrepare::add(std::unique_ptr<File> file) {
    addJob([shared = std::shared_ptr<File>(std::move(file))] {
        shared->sync();
        shared->close();
    });
}

void BackgroundPrepare::addJob(std::function<void()> job) {
    {
        std::lock_guard<std::mutex> lock(queue_->mutex);
        queue_->files.push_back(std::move(job));
    }
    if (!queue_->worker.joinable()) queue_->worker = std::thread([q = queue_.get()] { q->run(); });
    queue_->changed.notify_all();
}

void BackgroundPrepare::wait() {
    std::unique_lock<std::mutex> lock(queue_->mutex);
    queue_->changed.wait(lock, [&] { return queue_->files.empty() && !queue_->busy; });
    if (queue_->failure) {
        std::exception_ptr failure = queue_->failure;
        queue_->failure = nullptr;
        std::rethrow_exception(failure);
    }
}

void checkReplaceable(const std::string& path) {
    naming(path, [&] { fileSystem().checkWritable(fileSystem().resolveLinks(path)); });
}

void writeFileAtomic(const std::string& path, const std::string& bytes) {
    AtomicFile out(path);
    out.file().write(bytes.data(), bytes.size());
    out.commit();
}

} // namespace tq
