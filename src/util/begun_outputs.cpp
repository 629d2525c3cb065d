// The outputs a run has begun, and the end of a run by a stop signal (see begun_outputs.hpp).

#include "util/begun_outputs.hpp"

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <new>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

#include "util/file_io.hpp"

namespace zorvel::util {

namespace {

constexpr int kBlockEntries = 256;
// Links followed from a final name before it counts as a loop.
constexpr int kMaxLinkHops = 40;
// Temporary names tried for one output before its making fails.
constexpr int kNameTries = 100;

// One output of the run: the temporary file it is written to and the final name it moves onto,
// kept as one block "<temp>\0<final>\0". The handler removes the temporary file once made.
struct Entry {
    std::atomic<char*> names{nullptr};
    std::atomic<bool> made{false};
};

// One block of the table.
struct Block {
    Entry entries[kBlockEntries];
    std::atomic<Block*> next{nullptr};
};

Block g_first;
int g_used = 0;  // entries handed out since the table was last emptied
std::atomic<unsigned> g_serial{0};  // numbers the temporary names of the process
bool g_deferred = false;  // outputs wait for the run's end to be moved into place

// Entry k of the table, its blocks made as far as needed.
Entry& entry_at(int k) {
    Block* b = &g_first;
    for (; k >= kBlockEntries; k -= kBlockEntries) {
        Block* next = b->next.load();
        if (next == nullptr) {
            next = new Block;
            b->next.store(next);
        }
        b = next;
    }
    return b->entries[k];
}

// The final name of an entry's block of names.
const char* final_of(const char* names) { return names + std::strlen(names) + 1; }

// Enters the two names, not yet made; the entry, or -1 when memory runs out.
int enter(const std::string& temp, const std::string& final_name) {
    char* names = new (std::nothrow) char[temp.size() + final_name.size() + 2];
    if (names == nullptr) return -1;
    std::memcpy(names, temp.c_str(), temp.size() + 1);
    std::memcpy(names + temp.size() + 1, final_name.c_str(), final_name.size() + 1);
    const int k = g_used++;
    Entry& e = entry_at(k);
    e.made.store(false);
    e.names.store(names);
    return k;
}

// The name as an absolute one (the run does not change its folder, so it stays valid).
std::string absolute_name(const std::string& path) {
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(path, ec);
    return ec ? path : full.string();
}

// A temporary name beside the target: its file name, cut to leave room for the tail within
// the longest file name, then ".zorvel-<pid>-<n>.tmp".
std::string temp_name_for(const std::string& target, unsigned serial) {
    const std::size_t slash = target.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
    std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
    const std::string tail = ".zorvel-" + std::to_string(::getpid()) + "-" + std::to_string(serial) + ".tmp";
    constexpr std::size_t kLongestName = NAME_MAX;
    if (base.size() + tail.size() > kLongestName) base.resize(kLongestName - tail.size());
    return folder + base + tail;
}

// The signals that end a run from outside.
sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&set, sig);
    return set;
}

// A stop signal: the line that says so, every temporary output of the run removed, and the
// shell's status for that signal.
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

OutputTarget output_target(std::string_view final_name) {
    OutputTarget t;
    std::string path = absolute_name(os_name(final_name));
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0) break;  // nothing there (or no way to it): made new
        if (S_ISREG(st.st_mode)) {
            t.exists = true;
            break;
        }
        if (!S_ISLNK(st.st_mode) || hops == kMaxLinkHops) {
            t.writable = false;
            break;
        }
        std::error_code ec;
        const std::filesystem::path link(path);
        const std::filesystem::path to = std::filesystem::read_symlink(link, ec);
        if (ec) {
            t.writable = false;
            break;
        }
        path = (to.is_absolute() ? to : link.parent_path() / to).lexically_normal().string();
    }
    t.path = path;
    return t;
}

int begin_output(std::string_view final_name, bool replace, std::string& temp_name, int* fd) {
    const OutputTarget target = output_target(final_name);
    if (!target.writable) {
        errno = EINVAL;
        return -1;
    }
    if (!replace && target.exists) {
        errno = EEXIST;
        return -1;
    }
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const std::string temp = temp_name_for(target.path, g_serial.fetch_add(1));
        const int entry = enter(temp, target.path);
        if (entry < 0) {
            errno = ENOMEM;
            return -1;
        }
        const int made = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (made < 0) {
            const int why = errno;
            forget_begun_output(entry);
            if (why == EEXIST) continue;  // a file left by another process under this name
            errno = why;
            return -1;
        }
        entry_at(entry).made.store(true);
        // The new file takes the permissions of the one it replaces.
        struct stat old {};
        if (target.exists && ::stat(target.path.c_str(), &old) == 0) (void)::fchmod(made, old.st_mode & 07777);
        if (fd != nullptr)
            *fd = made;
        else
            ::close(made);
        temp_name = temp;
        return entry;
    }
    errno = EEXIST;
    return -1;
}

int enter_begun_output(std::string_view name) {
    const std::string path = absolute_name(os_name(name));
    const int entry = enter(path, path);
    if (entry >= 0) entry_at(entry).made.store(true);
    return entry;
}

void forget_begun_output(int entry) {
    if (entry < 0 || entry >= g_used) return;
    Entry& e = entry_at(entry);
    e.made.store(false);
    delete[] e.names.exchange(nullptr);
}

void remove_begun_output(int entry) {
    if (entry < 0 || entry >= g_used) return;
    // Removed while still entered, so that a signal in between removes it as well.
    const Entry& e = entry_at(entry);
    if (const char* names = e.names.load(); names != nullptr && e.made.load()) ::unlink(names);
    forget_begun_output(entry);
}

void defer_outputs_to_run_end(bool on) { g_deferred = on; }

bool complete_begun_output(int entry) {
    if (g_deferred || entry < 0 || entry >= g_used) return true;
    const char* names = entry_at(entry).names.load();
    if (names == nullptr) return true;
    const char* final_name = final_of(names);
    if (std::strcmp(names, final_name) != 0 && ::rename(names, final_name) != 0) return false;
    forget_begun_output(entry);
    return true;
}

bool move_begun_outputs_into_place(std::string& failed_name) {
    // A stop signal waits until the outputs are all in place, so that it finds them all moved
    // or none of them.
    const HoldStopSignals hold;
    for (int k = 0; k < g_used; ++k) {
        Entry& e = entry_at(k);
        const char* names = e.names.load();
        if (names == nullptr) continue;
        const char* final_name = final_of(names);
        if (std::strcmp(names, final_name) != 0 && ::rename(names, final_name) != 0) {
            const int why = errno;
            failed_name = final_name;
            errno = why;
            return false;
        }
        forget_begun_output(k);
    }
    g_used = 0;
    return true;
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
        for (const Entry& e : b->entries)
            if (const char* names = e.names.load(); names != nullptr && e.made.load()) ::unlink(names);
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
