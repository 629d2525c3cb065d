// The guard around the binding's HDF5 calls (see fault_guard.hpp).

#include "results/xmdf/fault_guard.hpp"

#include <algorithm>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "util/file_io.hpp"

namespace zorvel::results::xmdf {

namespace {

// Read by the handler: how deep guarded calls are nested, and the file of the innermost.
volatile std::sig_atomic_t g_depth = 0;
char g_name[4096];
volatile std::sig_atomic_t g_name_length = 0;

struct sigaction g_previous_segv;
struct sigaction g_previous_bus;

// A fault: the run's end when an HDF5 call is in progress, else the handler before ours.
void on_fault(int sig, siginfo_t* info, void*) {
    if (g_depth == 0) {
        ::sigaction(sig, sig == SIGSEGV ? &g_previous_segv : &g_previous_bus, nullptr);
        // A fault of the code comes back when the instruction runs again; a signal sent
        // by a program is sent again.
        if (info == nullptr || info->si_code <= 0) ::raise(sig);
        return;
    }
    util::say_at_fault("\nERROR - The HDF5 library failed while reading: \"");
    util::say_at_fault(g_name, static_cast<std::size_t>(g_name_length));
    util::say_at_fault("\"\n");
    util::discard_outputs_at_fault();
    ::_exit(1);
}

}  // namespace

void install_fault_guard() {
    static const bool installed = [] {
        struct sigaction sa {};
        sa.sa_sigaction = &on_fault;
        sa.sa_flags = SA_SIGINFO;
        sigemptyset(&sa.sa_mask);
        return ::sigaction(SIGSEGV, &sa, &g_previous_segv) == 0 && ::sigaction(SIGBUS, &sa, &g_previous_bus) == 0;
    }();
    (void)installed;
}

Hdf5Call::Hdf5Call(std::string_view file) {
    // The outermost call names the file; its name is written while the guard is off.
    if (g_depth == 0) {
        const std::size_t n = std::min(file.size(), sizeof g_name);
        if (n > 0) std::memcpy(g_name, file.data(), n);
        g_name_length = static_cast<std::sig_atomic_t>(n);
    }
    g_depth = g_depth + 1;
}

Hdf5Call::~Hdf5Call() { g_depth = g_depth - 1; }

}  // namespace zorvel::results::xmdf
