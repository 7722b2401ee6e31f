#pragma once

// The working files written away from the window's thread: the window takes
// a snapshot of the document and goes on; the files are encoded and written
// on a thread of their own.  One write at a time: a write asked for while one
// is in flight is refused (the caller asks again when it is done).  Whoever
// is about to read or write the working folder waits for the write in flight
// first, and so does the writer's end: a write under way when the program
// closes is finished, never cut off.

#include <functional>
#include <mutex>
#include <thread>

namespace kvx {

class AutosaveWriter {
public:
    // post hands a function to the window's thread (a queued call); done
    // callbacks run there, never on the writer's thread.
    using Post = std::function<void(std::function<void()>)>;
    explicit AutosaveWriter(Post post) : post_(std::move(post)) {}
    ~AutosaveWriter() { Wait(); }
    AutosaveWriter(const AutosaveWriter&) = delete;
    AutosaveWriter& operator=(const AutosaveWriter&) = delete;

    // Whether a write is still in flight.
    bool Busy() const
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return running_;
    }

    // Runs write on the writer's thread, then done with its outcome on the
    // window's.  False, and nothing runs, while another write is in flight.
    template <class Result>
    bool Start(std::function<Result()> write, std::function<void(Result)> done)
    {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (running_)
                return false;
            running_ = true;
        }
        // The thread before it has finished its work: joining costs nothing.
        if (thread_.joinable())
            thread_.join();
        thread_ = std::thread([this, write = std::move(write), done = std::move(done)]() mutable {
            Result r = write();
            {
                std::lock_guard<std::mutex> lock(mutex_);
                running_ = false;
            }
            post_([done = std::move(done), r = std::move(r)]() mutable { done(std::move(r)); });
        });
        return true;
    }

    // Until the write in flight (if any) is done; its done callback still
    // comes through the window's queue.
    void Wait()
    {
        if (thread_.joinable())
            thread_.join();
    }

private:
    Post post_;
    mutable std::mutex mutex_;
    bool running_ = false;
    std::thread thread_;
};

} // namespace kvx
