// Exported routines of the message layer. The message block itself, DMESSAGES, is the
// library's own block under its plain name (util/messages.hpp).

#include "util/exports/abi.hpp"
#include "util/messages.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

extern "C" {

// Classifies, counts, logs and writes the message of the block, then clears it.
void DMESSAGE(const std::int32_t* n) {
    guarded([&] { u::DMESSAGE(*n); });
}

// Writes the message of the block as a MIF Text object and MID record at (x, y), then issues it.
void DMESSAGEXY(const std::int32_t* n, const double* x, const double* y) {
    guarded([&] { u::DMESSAGEXY(*n, *x, *y); });
}

// Clears the message fields of the block.
void DMESSAGECLEAR() {
    guarded([] { u::DMESSAGECLEAR(); });
}

// Sets the message counters to 0.
void DMESSAGERESETCOUNTERS() {
    guarded([] { u::DMESSAGERESETCOUNTERS(); });
}

// A line of 80 "_" on the console, and to the unit when it is 1 or more.
void DLINE(const std::int32_t* unit) {
    guarded([&] { u::DLINE(*unit); });
}

}  // extern "C"
