// Fuzz harness of the ".dat" reader: the header, every time record, and the reductions
// (maximum, minimum, average, time search) over the same bytes. The first byte picks
// the reduction; the rest is the file.

#include <cstdint>
#include <string>

#include "harness.hpp"
#include "results/dat.hpp"
#include "results/res_ops.hpp"
#include "util/units.hpp"

using namespace zorvel;

namespace {

// Sizes a record as the command driver does, from the header's counts.
results::RES_TYPE record_for(std::int32_t nnodes, std::int32_t ncells, bool vector) {
    results::RES_TYPE r = results::NEW_RES(ncells, nnodes);
    r.nnodes = nnodes;
    r.ncells = ncells;
    r.is_vector = vector;
    return r;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_work_folder();
    fuzz::Bytes in(data, size);
    const std::size_t reduction = in.pick(5);
    const std::string_view file = in.rest();
    fuzz::write_file("in_h.dat", reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    fuzz::run_silenced([&] {
        int unit = 0;
        std::string name = "in_h.dat";
        util::OPENFILE(unit, "BI", name);
        std::int32_t nnodes = 0, ncells = 0, card = 0;
        bool vector = false;
        std::string desc;
        results::READDATHEADER(unit, nnodes, ncells, card, vector, name, desc);
        if (card != results::kCardTimeRecord) return;
        // The header has been checked against the file: one record of these counts fits.
        results::RES_TYPE res = record_for(nnodes, ncells, vector);
        results::RES_TYPE other = record_for(nnodes, ncells, vector);
        switch (reduction) {
            case 0:
                do results::NEXTDATTIMESTEP(unit, res);
                while (!res.end_of_data);
                break;
            case 1: results::DATMAXIMUMS(unit, vector, res, other, false); break;
            case 2: results::DATMINIMUMS(unit, vector, res, other, true); break;
            case 3: results::DATAVERAGES(unit, vector, res); break;
            default: results::FINDDATTIME(unit, res, 2.0f, 0.001f, name); break;
        }
    });
    return 0;
}
