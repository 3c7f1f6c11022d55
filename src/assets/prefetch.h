// Files read ahead on worker threads while the main thread uploads the ones before them: the
// load pass asks for them in list order, and each result comes with the lines its work logged,
// which are logged again at that moment so that the log reads as if the work had been done then.
// Pictures are decoded this way, and models parsed.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include "base/log.h"

template <class T>
class Prefetch {
public:
    // Fills `out` from the file at `path`; false when it can't.
    using Work = std::function<bool(const std::string& path, T& out)>;
    // Frees what a result holds (results nobody took, and those of failed work).
    using Discard = std::function<void(T& result)>;

    // `paths` in the order they will be taken; `workers` threads (at least one) work at most
    // `ahead` files beyond the furthest one taken, which bounds the memory held (a path that is
    // never taken holds its result until the end). `what` names the kind of file in the error
    // line of work that throws. When the system starts no thread, the caller's thread does each
    // file's work when it is taken.
    Prefetch(std::vector<std::string> paths, Work work, Discard discard, const char* what, int workers, int ahead)
        : paths_(std::move(paths)),
          slots_(paths_.size()),
          work_(std::move(work)),
          discard_(std::move(discard)),
          what_(what),
          ahead_(ahead > 0 ? static_cast<size_t>(ahead) : 1u) {
        for (size_t i = 0; i < paths_.size(); ++i) index_.emplace(paths_[i], i);  // a repeated path: the first
        try {
            for (int i = 0; i < (workers > 0 ? workers : 1) && !paths_.empty(); ++i)
                workers_.emplace_back([this] { run(); });
        } catch (const std::system_error& e) {
            // Out of threads: those that started work on, and take() does the rest if none did.
            controllerLog()->log("couldn't start a thread to read " + std::string(what_) + " files ahead (" + e.what() +
                                 "); they are read as they are needed");
        }
    }
    // Stops the workers and frees every result nobody took.
    ~Prefetch() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stopping_ = true;
        }
        changed_.notify_all();
        for (std::thread& worker : workers_) worker.join();
        for (Slot& slot : slots_)
            if (slot.done && !slot.taken && discard_) discard_(slot.result);
    }
    Prefetch(const Prefetch&) = delete;
    Prefetch& operator=(const Prefetch&) = delete;

    // False when `path` is not on the list (the caller does the work itself). Otherwise waits
    // for its work, logs its lines, and hands the result over (the caller frees it); `ok` is
    // what the work returned. Each path is handed over once.
    bool take(const std::string& path, bool& ok, T& out) {
        auto it = index_.find(path);
        if (it == index_.end()) return false;
        const size_t index = it->second;
        Slot* slot = &slots_[index];
        if (workers_.empty() && !slot->taken && !slot->done) work(index);
        std::vector<DeferredLine> lines;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (slot->taken) return false;
            // The look-ahead runs from the furthest path asked for, so that paths skipped before
            // it neither hold it back nor leave this one out of the workers' reach.
            if (index + 1 > reached_) {
                reached_ = index + 1;
                changed_.notify_all();
            }
            changed_.wait(lock, [slot] { return slot->done; });
            slot->taken = true;
            ok = slot->ok;
            out = std::move(slot->result);
            slot->result = T();
            lines = std::move(slot->lines);
        }
        changed_.notify_all();
        replayLog(lines);
        return true;
    }

private:
    struct Slot {
        bool done = false;
        bool taken = false;
        bool ok = false;
        T result{};
        std::vector<DeferredLine> lines;
    };

    void run() {
        for (;;) {
            size_t i;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                changed_.wait(lock, [this] { return stopping_ || (next_ < paths_.size() && next_ < reached_ + ahead_); });
                if (stopping_) return;
                i = next_++;
            }
            work(i);
        }
    }

    // Does the work of path `i` and stores its result and lines in its slot.
    void work(size_t i) {
        Slot result;
        {
            LogDeferral deferral(result.lines);
            try {
                result.ok = work_(paths_[i], result.result);
            } catch (const std::exception& e) {  // nothing may leave a worker thread
                if (discard_) discard_(result.result);
                result.result = T();
                result.ok = false;
                logError(std::string(what_) + " '" + paths_[i] + "' can't be read (" + e.what() + ")");
            }
        }
        std::lock_guard<std::mutex> lock(mutex_);
        result.done = true;
        slots_[i] = std::move(result);
        changed_.notify_all();
    }

    std::vector<std::string> paths_;
    std::map<std::string, size_t> index_;
    std::vector<Slot> slots_;
    Work work_;
    Discard discard_;
    const char* what_;
    size_t next_ = 0;   // the next file a worker starts
    size_t reached_ = 0;  // one past the furthest path asked for, for the look-ahead bound
    size_t ahead_;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::thread> workers_;
};
