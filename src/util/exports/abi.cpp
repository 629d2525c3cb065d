#include "util/exports/abi.hpp"

#include <cstdlib>

#include "util/console.hpp"
#include "util/units.hpp"

namespace zorvel::util::exports {

void end_process(int status) {
    std::exit(close_all_at_end(status));
}

void out_of_memory() {
    console().finish_line();
    console().line("ERROR - Not enough memory to complete the call.");
    end_process(1);
}

}  // namespace zorvel::util::exports
