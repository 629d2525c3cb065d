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

#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/run_end.hpp"

namespace zorvel::util {

namespace {

constexpr int kBlockEntries = 256;
// Temporary names tried for one output before its making fails.
constexpr int kNameTries = 100;

// One output of the run: the temporary file it is written to and the final name it moves onto,
// kept as one block "<temp>\0<final>\0", and how it is put in place. The handler removes the
// temporary file once it may exist.
struct Entry {
    std::atomic<char*> names{nullptr};
    std::atomic<bool> made{false};
    Placing placing = Placing::rename;
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

// What a stop signal does now: before the outputs are in place it takes them back and ends the
// run as stopped; once they are, it waits for the closing line; after that line it ends the
// process as a completed run.
enum StopMode : int { stop_discards = 0, stop_waits_for_closing_line = 1, stop_ends_completed = 2 };
volatile std::sig_atomic_t g_stop_mode = stop_discards;
volatile std::sig_atomic_t g_stop_pending = 0;  // a signal that came while the closing line was due

// The signals that end a run from outside, with the names its last line gives them.
struct StopSignal {
    int sig;
    const char* name;
};
constexpr StopSignal kStopSignals[] = {
    {SIGINT, "SIGINT"}, {SIGTERM, "SIGTERM"}, {SIGHUP, "SIGHUP"}, {SIGPIPE, "SIGPIPE"}, {SIGXFSZ, "SIGXFSZ"},
};

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
    e.placing = Placing::rename;
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

// The stop signals as a set.
sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    for (const StopSignal& s : kStopSignals) sigaddset(&set, s.sig);
    return set;
}

// A stop signal: before the outputs are in place, the line that says so, every temporary output
// of the run removed, and the shell's status for that signal; once they are, the end of a
// completed run.
void on_stop(int sig) {
    if (g_stop_mode == stop_waits_for_closing_line) {
        g_stop_pending = sig;
        return;
    }
    if (g_stop_mode == stop_ends_completed) {
        flush_console_at_fault();
        ::_exit(0);
    }
    say_at_fault("\nERROR - Run interrupted by signal ");
    for (const StopSignal& s : kStopSignals)
        if (s.sig == sig) say_at_fault(s.name, std::strlen(s.name));
    say_at_fault(".\n");
    discard_outputs_at_fault();
    ::_exit(128 + sig);
}

// Writes the completed temporary file into the earlier file under the final name, which the run
// may write but not replace, and removes it; false with errno set when that fails. Room for the
// whole output is taken first, so a full disk ends it before the earlier file is changed.
bool write_into(const char* temp, const char* final_name) {
    const int in = ::open(temp, O_RDONLY | O_CLOEXEC);
    if (in < 0) return false;
    const int out = ::open(final_name, O_WRONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    bool ok = out >= 0 && ::fstat(in, &st) == 0;
    if (ok && st.st_size > 0 && ::fallocate(out, FALLOC_FL_KEEP_SIZE, 0, st.st_size) != 0)
        ok = errno == EOPNOTSUPP;
    static char buffer[1 << 20];
    for (off_t at = 0; ok && at < st.st_size;) {
        const ssize_t got = ::pread(in, buffer, sizeof buffer, at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            if (got == 0) errno = EIO;  // the temporary file is shorter than it was
            ok = false;
            break;
        }
        for (ssize_t done = 0; ok && done < got;) {
            const ssize_t put = ::pwrite(out, buffer + done, static_cast<std::size_t>(got - done), at + done);
            if (put < 0 && errno == EINTR) continue;
            ok = put > 0;
            if (ok) done += put;
        }
        at += got;
    }
    if (ok) ok = ::ftruncate(out, st.st_size) == 0;
    const int why = errno;
    if (out >= 0 && ::close(out) != 0 && ok) ok = false;
    ::close(in);
    if (ok) ::unlink(temp);
    errno = ok ? 0 : why;
    return ok;
}

// Puts a completed output in place by its entry's way; false with errno set when that fails.
bool place(const Entry& e, const char* names) {
    const char* final_name = final_of(names);
    if (std::strcmp(names, final_name) == 0) return true;  // a kept file written in place
    if (e.placing == Placing::copy_into) return write_into(names, final_name);
    // The new file takes the permissions of the one it replaces.
    struct stat old {};
    if (::stat(final_name, &old) == 0 && S_ISREG(old.st_mode)) (void)::chmod(names, old.st_mode & 07777);
    return ::rename(names, final_name) == 0;
}

}  // namespace

HoldStopSignals::HoldStopSignals() {
    const sigset_t set = stop_signals();
    ::pthread_sigmask(SIG_BLOCK, &set, &saved_);
}

HoldStopSignals::~HoldStopSignals() { ::pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

int begin_output(std::string_view final_name, bool replace, std::string& temp_name, int* fd) {
    const OutputTarget target = output_target(final_name);
    if (!replace && target.exists) {
        errno = EEXIST;
        return -1;
    }
    Placing placing = Placing::rename;
    if (const int refused = check_replaceable(target, placing); refused != 0) {
        errno = refused;
        return -1;
    }
    for (int attempt = 0; attempt < kNameTries; ++attempt) {
        const std::string temp = temp_name_for(target.path, g_serial.fetch_add(1));
        const int entry = enter(temp, target.path);
        if (entry < 0) {
            errno = ENOMEM;
            return -1;
        }
        Entry& e = entry_at(entry);
        e.placing = placing;
        // Counted before the file exists: the name carries this process's number, so a handler
        // that removes it before the open returns removes nothing of another's.
        e.made.store(true);
        const int made = ::open(temp.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (made < 0) {
            const int why = errno;
            forget_begun_output(entry);
            if (why == EEXIST) continue;  // a file left by another process under this name
            errno = why;
            return -1;
        }
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
    const Entry& e = entry_at(entry);
    const char* names = e.names.load();
    if (names == nullptr) return true;
    if (!place(e, names)) return false;
    forget_begun_output(entry);
    return true;
}

bool move_begun_outputs_into_place(std::string& failed_name, bool& written_into) {
    // A stop signal waits until the outputs are all in place, and then ends the run as a
    // completed one.
    const HoldStopSignals hold;
    // The moves first, then the writes into earlier files, which cannot be taken back.
    for (const Placing pass : {Placing::rename, Placing::copy_into}) {
        for (int k = 0; k < g_used; ++k) {
            const Entry& e = entry_at(k);
            const char* names = e.names.load();
            if (names == nullptr || e.placing != pass) continue;
            if (!place(e, names)) {
                const int why = errno;
                failed_name = final_of(names);
                written_into = pass == Placing::copy_into;
                errno = why;
                return false;
            }
            forget_begun_output(k);
        }
    }
    g_used = 0;
    if (g_deferred && g_stop_mode == stop_discards) g_stop_mode = stop_waits_for_closing_line;
    return true;
}

void closing_line_written() {
    if (g_stop_mode != stop_waits_for_closing_line) return;
    g_stop_mode = stop_ends_completed;
    if (g_stop_pending != 0) throw RunEnd{0};
}

void remove_begun_outputs() {
    for (int k = 0; k < g_used; ++k) remove_begun_output(k);
    g_used = 0;
}

void keep_begun_outputs() {
    for (int k = 0; k < g_used; ++k) forget_begun_output(k);
    g_used = 0;
    g_stop_mode = stop_discards;
    g_stop_pending = 0;
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
        // A signal that only waits for the closing line lets the call it came in go on.
        sa.sa_flags = SA_RESTART;
        for (const StopSignal& s : kStopSignals) {
            struct sigaction before {};
            if (::sigaction(s.sig, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
            ::sigaction(s.sig, &sa, nullptr);
        }
        return true;
    }();
    (void)installed;
}

}  // namespace zorvel::util
