#pragma once
// Arithmetic mode of the run: denormal results flushed to zero, denormal operands read as zero.

namespace zorvel::util {

// Sets that mode for the calling thread (called once, at the start of main).
void flush_denormals();

}  // namespace zorvel::util
