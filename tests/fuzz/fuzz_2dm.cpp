// Fuzz harness of the ".2dm" mesh reader, called as the command driver calls it: tables
// sized from the results' counts (the first two bytes), then both passes over the rest.

#include <cstdint>
#include <string>

#include "driver/checks.hpp"
#include "harness.hpp"
#include "results/mesh_2dm.hpp"
#include "util/units.hpp"

using namespace zorvel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::enter_work_folder();
    fuzz::Bytes in(data, size);
    const std::int32_t nnodes = in.byte();
    const std::int32_t ncells = in.byte();
    const std::string_view file = in.rest();
    fuzz::write_file("in.2dm", reinterpret_cast<const std::uint8_t*>(file.data()), file.size());
    fuzz::run_silenced([&] {
        int unit = 0;
        std::string name = "in.2dm";
        util::OPENFILE(unit, "I ", name);
        results::MESH_TYPE mesh;
        driver::size_mesh(mesh, nnodes, ncells);
        results::SCAN2DM(unit, mesh);
        results::READ2DM(unit, mesh);
        util::CLOSER(unit);
    });
    return 0;
}
