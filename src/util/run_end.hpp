#pragma once
// The one way a run ends early: thrown by EXITS and the other ends, caught only by main.
// It derives from no std exception, so no catch of std::exception swallows it.

namespace zorvel::util {

struct RunEnd {
    int status;  // process exit status: 0 normal end, 1 error end
};

}  // namespace zorvel::util
