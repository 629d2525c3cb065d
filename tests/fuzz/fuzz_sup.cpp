// Fuzz harness of the ".sup" list reader.

#include <cstdint>

#include "harness.hpp"
#include "results/sup.hpp"

using namespace zorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_work_folder();
    fuzz::write_file("in.sup", data, size);
    fuzz::run_silenced([&] {
        results::sup_contents sup;
        sup.sup_file = "in.sup";
        results::READ_SUP(sup);
    });
    return 0;
}
