// Exported routines of the opening engine's console texts.

#include "util/exports/abi.hpp"
#include "util/opener.hpp"

using namespace zorvel::util::exports;
namespace u = zorvel::util;

extern "C" {

// Length without trailing blanks and NULs; a NUL is put after the last character kept.
std::int32_t LENSL(char* text, Len text_len) {
    return guarded([&] {
        std::string t = text_copy(text, text_len);
        const std::int32_t n = u::LENSL(t);
        store(text, text_len, t);
        return n;
    });
}

}  // extern "C"
