// The outputs a run has begun, and the end of a run by a stop signal (see begun_outputs.hpp).

#include "util/begun_outputs.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <pthread.h>
#include <string>
#include <system_error>
#include <unistd.h>

#include "util/file_io.hpp"

namespace zorvel::util {

namespace {

constexpr int kBlockEntries = 256;

// One block of the table: each entry the absolute name of a file, or null.
struct Block {
    std::atomic<char*> names[kBlockEntries] = {};
    std::atomic<Block*> next{nullptr};
};

Block g_first;
int g_used = 0;  // entries handed out since the table was last emptied

// Entry k of the table, its blocks made as far as needed.
std::atomic<char*>& entry_at(int k) {
    Block* b = &g_first;
    for (; k >= kBlockEntries; k -= kBlockEntries) {
        Block* next = b->next.load();
        if (next == nullptr) {
            next = new Block;
            b->next.store(next);
        }
        b = next;
    }
    return b->names[k];
}

// The signals that end a run from outside.
sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, sig);
    return set;
}

// A stop signal: the line that says so, every output of the run removed, and the shell's
// status for that signal.
void on_stop(int sig) {
    say_at_fault("\nERROR - Run interrupted by signal ");
    if (sig == SIGINT)
        say_at_fault("SIGINT");
    else if (sig == SIGTERM)
        say_at_fault("SIGTERM");
    else
        say_at_fault("SIGHUP");
    say_at_fault(".\n");
    discard_outputs_at_fault();
    ::_exit(128 + sig);
}

}  // namespace

HoldStopSignals::HoldStopSignals() {
    const sigset_t set = stop_signals();
    ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

HoldStopSignals::~HoldStopSignals() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

int enter_begun_output(std::string_view name) {
    std::error_code ec;
    const std::filesystem::path path(os_name(name));
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    const std::string text = (ec ? path : full).string();
    char* kept = new (std::nothrow) char[text.size() + 1];
    if (kept == nullptr) return -1;
    std::memcpy(kept, text.c_str(), text.size() + 1);
    const int k = g_used++;
    entry_at(k).store(kept);
    return k;
}

void forget_begun_output(int entry) {
    if (entry < 0 || entry >= g_used) return;
    delete[] entry_at(entry).exchange(nullptr);
}

void remove_begun_output(int entry) {
    if (entry < 0 || entry >= g_used) return;
    // Removed while still entered, so that a signal in between removes it as well.
    if (const char* name = entry_at(entry).load()) ::unlink(name);
    forget_begun_output(entry);
}

int begin_output_file(std::string_view name, bool replace) {
    const HoldStopSignals hold;
    const std::string path = os_name(name);
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC | (replace ? O_TRUNC : O_EXCL), 0666);
    if (fd < 0) return -1;
    ::close(fd);
    const int entry = enter_begun_output(name);
    if (entry < 0) {
        ::unlink(path.c_str());
        errno = ENOMEM;
    }
    return entry;
}

void remove_begun_outputs() {
    for (int k = 0; k < g_used; ++k) remove_begun_output(k);
    g_used = 0;
}

void keep_begun_outputs() {
    for (int k = 0; k < g_used; ++k) forget_begun_output(k);
    g_used = 0;
}

void remove_begun_outputs_at_fault() {
    for (const Block* b = &g_first; b != nullptr; b = b->next.load())
        for (const std::atomic<char*>& entry : b->names)
            if (const char* name = entry.load()) ::unlink(name);
}

void install_stop_handlers() {
    static const bool installed = [] {
        struct sigaction sa {};
        sa.sa_handler = &on_stop;
        sa.sa_mask = stop_signals();
        for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
            struct sigaction before {};
            if (::sigaction(sig, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
            ::sigaction(sig, &sa, nullptr);
        }
        return true;
    }();
    (void)installed;
}

}  // namespace zorvel::util
