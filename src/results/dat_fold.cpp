// The fold thread: the second half of each shared ".dat" fold runs on it.

#include "results/dat_fold.hpp"

#include <atomic>
#include <system_error>
#include <thread>

#include <unistd.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace zorvel::results::dat_fold {

namespace {

// Lets the other thread of a spin-wait run.
inline void relax() {
#if defined(__SSE2__)
    _mm_pause();
#endif
}

// A thread that waits for halves to fold. Between records it spins for a short while
// (the next record follows within microseconds), then sleeps until woken.
class FoldThread {
public:
    FoldThread() : pid_(::getpid()) {
        try {
            thread_ = std::thread([this] { serve(); });
        } catch (const std::system_error&) {
            // No thread to be had: every fold runs whole on its caller.
        }
    }
    ~FoldThread() {
        if (!thread_.joinable()) return;
        state_.store(kStop, std::memory_order_release);
        state_.notify_one();
        thread_.join();
    }
    FoldThread(const FoldThread&) = delete;
    FoldThread& operator=(const FoldThread&) = delete;

    // False in a child process made by fork(), which has no copy of the thread.
    bool usable() const { return thread_.joinable() && ::getpid() == pid_; }

    void run(void (*part)(void*, int), void* context) {
        part_ = part;
        context_ = context;
        state_.store(kWork, std::memory_order_release);
        state_.notify_one();
        part(context, 0);
        // The other half is as large as this one: it is close to done.
        for (int spin = 0; state_.load(std::memory_order_acquire) == kWork; ++spin) {
            if (spin < kSpins)
                relax();
            else
                state_.wait(kWork, std::memory_order_acquire);
        }
    }

private:
    static constexpr int kIdle = 0;
    static constexpr int kWork = 1;
    static constexpr int kStop = 2;
    static constexpr int kSpins = 20000;

    void serve() {
        for (;;) {
            int state = state_.load(std::memory_order_acquire);
            for (int spin = 0; state == kIdle; ++spin) {
                if (spin < kSpins)
                    relax();
                else
                    state_.wait(kIdle, std::memory_order_acquire);
                state = state_.load(std::memory_order_acquire);
            }
            if (state == kStop) return;
            part_(context_, 1);
            state_.store(kIdle, std::memory_order_release);
            state_.notify_one();
        }
    }

    std::atomic<int> state_{kIdle};
    void (*part_)(void*, int) = nullptr;
    void* context_ = nullptr;
    pid_t pid_;
    std::thread thread_;  // last: it starts once the rest is set up
};

}  // namespace

void run_both(void (*part)(void* context, int half), void* context) {
    static FoldThread fold_thread;
    if (fold_thread.usable()) {
        fold_thread.run(part, context);
    } else {
        part(context, 0);
        part(context, 1);
    }
}

}  // namespace zorvel::results::dat_fold
