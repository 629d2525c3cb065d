#pragma once
// The calling convention of the exported routines: the library as other programs call it,
// by plain (unmangled) upper-case names, from the executable and from libzorvel_utils.so.
//
// - Every argument is passed by its address: const T* for what the routine reads, T* for
//   what it fills or changes.
// - A text is a field of single-byte characters, blank-padded and not NUL-terminated.
//   Its address is followed at once by its length, a 64-bit integer passed by value:
//   (text, text_len) stand side by side in the argument list, wherever the text stands.
// - A routine that yields a text receives first the address of the caller's result field
//   and its length (64-bit, by value), then its arguments. The result is written
//   blank-padded, or cut, to exactly that length, never beyond it.
// - An in/out text is rewritten in place within its length, blank-padded.
// - Integers are 32-bit unless a routine says 64-bit, reals 32-bit unless "_8" or the
//   routine says 64-bit; integer and real results are function results.
// - Logical values are 32-bit integers: true is -1, false 0; a logical the library reads
//   is tested on its lowest bit.
// - A routine that ends the run (EXITS, and the fatal ends of the others) ends the
//   process with the run's exit status, after closing the units; nothing else crosses
//   back to the caller.
// - The message block DMESSAGES is one external object of the fixed layout given in
//   util/messages.hpp.
//
// Example, EXTRACTSTRING(line, lower-case line, keyword, n), which yields a text:
//   void EXTRACTSTRING(char* result, int64_t result_len, const char* line, int64_t line_len,
//                      const char* lower, int64_t lower_len, const char* keyword,
//                      int64_t keyword_len, const int32_t* n);
// and CHECKLINE(line, command, separator, column, rest, head), which fills two texts:
//   int32_t CHECKLINE(const char* line, int64_t line_len, const char* command,
//                     int64_t command_len, const char* separator, int64_t separator_len,
//                     const int32_t* column, char* rest, int64_t rest_len, char* head,
//                     int64_t head_len);

#include <cstdint>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "util/console.hpp"
#include "util/run_end.hpp"

namespace zorvel::util::exports {

using Len = std::int64_t;

// A caller's text field as a view (a length of 0 or less is an empty text).
inline std::string_view text(const char* p, Len n) {
    return n > 0 ? std::string_view(p, static_cast<std::size_t>(n)) : std::string_view();
}

// A caller's text field copied, for a routine that changes it.
inline std::string text_copy(const char* p, Len n) { return std::string(text(p, n)); }

// Stores a value into a caller's field of n characters: cut at n, padded with blanks.
inline void store(char* p, Len n, std::string_view value) {
    if (n <= 0) return;
    const std::size_t len = static_cast<std::size_t>(n);
    const std::size_t k = value.size() < len ? value.size() : len;
    value.copy(p, k);
    for (std::size_t i = k; i < len; ++i) p[i] = ' ';
}

// A logical as the caller takes it: true -1, false 0.
inline std::int32_t logical(bool value) { return value ? -1 : 0; }

// A caller's list of n values (none for n of 0 or less).
template <class T>
std::span<T> list(T* p, std::int64_t n) {
    return n > 0 ? std::span<T>(p, static_cast<std::size_t>(n)) : std::span<T>();
}

// Ends the process as a run ends: closes the units (removing outputs at an error end),
// flushes the console and exits with the status.
[[noreturn]] void end_process(int status);
// Ends the process after a request for memory that could not be met.
[[noreturn]] void out_of_memory();

// Hands the console's text on when a routine returns to its caller.
struct ConsoleHandedOn {
    ~ConsoleHandedOn() { console().flush(); }
};

// Runs the call of a routine at the edge of the library: an end of the run ends the process,
// and the routine's console text is out before the caller goes on.
template <class F>
auto guarded(F&& call) -> decltype(call()) {
    try {
        const ConsoleHandedOn handed_on;
        return call();
    } catch (const RunEnd& end) {
        end_process(end.status);
    } catch (const std::bad_alloc&) {
        out_of_memory();
    }
}

// A routine of one text that yields a text, called into the caller's result field.
template <class F>
void text_to_text(F routine, char* result, Len result_len, const char* t, Len t_len) {
    guarded([&] { store(result, result_len, routine(text(t, t_len))); });
}

}  // namespace zorvel::util::exports
