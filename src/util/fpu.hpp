#pragma once
// Arithmetic mode of the run: denormal results flushed to zero, denormal operands read as zero.

namespace zorvel::util {

void flush_denormals();

}  // namespace zorvel::util
