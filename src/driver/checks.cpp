#include "driver/checks.hpp"

#include <new>
#include <string>

#include "driver/ends.hpp"
#include "results/dat.hpp"
#include "results/mesh_2dm.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// The text from the last "_" of a ".dat" name, without its folder and extension.
std::string dat_type_text(std::string_view name) { return util::FILE___EXT(util::FILENAME(name)); }

// The data type from the last "_" of a ".dat" name, or "XX" with a warning.
std::string dat_data_type(std::string_view name) {
    const std::string t = dat_type_text(name);
    if (util::trimmed_length(t) >= 2) return t;
    console().line();
    console().line("WARNING - Could not identify data type - this may effect results");
    return "XX";
}

// An array of the allocation log made at full size but not written.
template <typename T>
void allocate_untouched(WorkArray<T>& array, std::int64_t n) {
    const std::size_t count = n > 0 ? static_cast<std::size_t>(n) : 0;
    array.data.reset(new (std::nothrow) T[count]);
    array.size = array.data ? count : 0;
    results::CHECK_ALLOC(array.data ? 0 : 1);
}

// A mesh record's arrays reserved (not written) for its nodes, elements and one part.
std::int32_t reserve_mesh(results::MESH_TYPE& mesh, std::int32_t nnodes, std::int32_t ncells) {
    try {
        mesh.NODES.reserve(static_cast<std::size_t>(nnodes > 0 ? nnodes : 0));
        mesh.CELLS.reserve(static_cast<std::size_t>(ncells > 0 ? ncells : 0));
        mesh.part_names.reserve(1);
        return 0;
    } catch (const std::bad_alloc&) {
        return 1;
    } catch (const std::length_error&) {
        return 1;
    }
}

// True when some ".dat" input has a time record: its header has been checked to hold
// one record of the run's counts within the file.
bool counts_backed(const RunState& run) {
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i)
        if (run.input(i).input_is_dat && run.next_card[static_cast<std::size_t>(i - 1)] == results::kCardTimeRecord)
            return true;
    return false;
}

// One entry of the allocation log: its line, the allocation and "    Done.".
template <typename Allocate>
void logged(std::string_view line, Allocate&& allocate) {
    console().line();
    console().line(line);
    allocate();
    console().line("    Done.");
}

}  // namespace

std::string mesh_of(const RunState& run, std::int32_t i) {
    if (run.from_sup && util::trimmed_length(run.sup.sup_mesh) > 0) return util::TRIMF(run.sup.sup_mesh);
    if (run.cl.have_2dm && util::trimmed_length(run.cl.mesh_name) > 0) return util::trimmed(run.cl.mesh_name);
    const std::string& name = run.input_name(i);
    return (run.input(i).input_is_xmdf ? util::FILENAMEPATH(name) : util::FILENAMEPATHNO_(name)) + ".2dm";
}

bool is_water_level_input(const RunState& run, std::int32_t i) {
    if (run.input(i).input_is_xmdf) {
        const std::string code = util::trimmed(run.cl.type_code);
        return code.size() < 4 && util::ASAME("_" + code, "_h");
    }
    return dat_type_text(run.input_name(i)) == "_h";
}

std::string water_level_companion(std::string_view input_name) {
    return util::FILENAMEPATHNO_(input_name) + "_h.dat";
}

void count_cells_from_meshes(RunState& run) {
    // The listings report what the file holds and read no mesh.
    if (run.op == Operation::times || run.op == Operation::xnfo) return;
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        InputRecord& in = run.input(i);
        if (!in.input_is_xmdf) continue;
        xmdf_read::XmdfFile& file = run.xmdf.file(in.xmdf_index);
        if (file.ncells != 0 || file.nnodes < 1) continue;
        console().line();
        console().line("No activity flags in " + util::trimmed(file.file_name) +
                       ": every cell is active, the number of cells is taken from the mesh.");
        in.mesh_file = util::fit(mesh_of(run, i), util::kNameLen);
        int unit = open_mesh(in);
        in.mesh_counted = true;
        results::MESH_TYPE mesh;
        results::SCAN2DM(unit, mesh);
        util::CLOSER(unit);
        // One value per node, or per element for finite-volume results.
        if (mesh.nnodes != file.nnodes && mesh.ncells != file.nnodes) {
            console().line();
            console().line("ERROR - Number of nodes does not match results file. Expecting number of nodes: " +
                           util::integer_field(file.nnodes, 12));
            console().line("   .2dm file: " + util::trimmed(in.mesh_file) + " has " + util::AINTEGER(mesh.nnodes) +
                           " nodes and " + util::AINTEGER(mesh.ncells) + " elements.");
            util::EXITS();
        }
        file.ncells = mesh.ncells;
        console().line("   Number of cells:    " + util::AINTEGER(file.ncells));
    }
    if (run.input(1).input_is_xmdf) run.n_cells = run.xmdf.file(run.input(1).xmdf_index).ncells;
}

void check_sizes(RunState& run) {
    if (run.n_inputs() >= 2) {
        console().line();
        console().line("Checking that .dat and .xmdf files have same number nodes and cells...");
        for (std::int32_t i = 2; i <= run.n_inputs(); ++i) {
            InputRecord& in = run.input(i);
            std::int32_t nnodes = 0;
            std::int32_t ncells = 0;
            if (in.input_is_xmdf) {
                nnodes = run.xmdf.file(in.xmdf_index).nnodes;
                ncells = run.xmdf.file(in.xmdf_index).ncells;
            } else {
                bool vector = false;
                const std::size_t k = static_cast<std::size_t>(i - 1);
                results::READDATHEADER(run.units[k], nnodes, ncells, run.next_card[k], vector, run.input_name(i),
                                       run.data_desc);
                in.input_is_vector = vector;
            }
            if (nnodes != run.n_nodes || ncells != run.n_cells)
                end_pause("ERROR - Number nodes and/or cells in " + util::trimmed(run.input_name(i)) +
                          " not the same as in primary .dat file.");
        }
    }
    console().line();
    console().line("All files have the same number of nodes and cells.");
}

void check_kinds(RunState& run) {
    if (run.op == Operation::va && !run.primary_is_vector)
        end_pause("\nERROR - .dat file or xmdf type must be vector data for -va option");
    if (run.input(1).input_is_dat) run.input(1).input_is_vector = run.primary_is_vector;
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        InputRecord& in = run.input(i);
        if (in.input_is_xmdf) in.input_is_vector = run.xmdf.file(in.xmdf_index).vectors.type_found;
    }
    if (run.op == Operation::conv) return;
    for (std::int32_t i = 2; i <= run.n_inputs(); ++i) {
        if (run.input(i).input_is_vector != run.primary_is_vector)
            end_pause("ERROR - " + util::trimmed(run.input_name(i)) +
                      " is not the same vector or scalar format as in primary .dat file.");
    }
}

void set_data_types_and_meshes(RunState& run) {
    const std::string code = util::trimmed(run.cl.type_code);
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        InputRecord& in = run.input(i);
        std::string type;
        if (in.input_is_xmdf) {
            type = code;
            if (code.size() < 4) {
                type = "_" + code;
                in.data_type = type;
            }
        } else {
            type = dat_data_type(run.input_name(i));
            in.data_type = type;
            in.stem = util::FILENAMENO_(run.input_name(i));
        }
        in.is_h = is_water_level_input(run, i);
        // The mesh that gave the cell count, as the opener opened it, stays the input's mesh.
        if (!in.mesh_counted) in.mesh_file = util::fit(mesh_of(run, i), util::kNameLen);
        run.output_data_type = type;
        if (!util::BLANK(type)) {
            console().line();
            console().line("SMS data type identified as: \"" + util::LOWERCASE(util::trimmed(type)) + "\"");
        }
        console().line("2dm filename: \"" + util::trimmed(in.mesh_file) + "\"");
    }
    if (run.only_dat_inputs) {
        const std::string t = util::FILE___EXT(run.input_name(1));
        if (util::trimmed_length(t) < 2) {
            run.output_data_type = "XX";
            console().line();
            console().line("WARNING - Could not identify data type - this may effect results");
        } else {
            run.output_data_type = t;
            console().line();
            console().line("SMS data type identified as: \"" + util::trimmed(t) + "\"");
        }
    } else {
        run.output_data_type = code;
    }
}

void allocate_records(RunState& run) {
    // Counts that no record backs (only ".dat" inputs, none of them with a time record)
    // hold no values: nothing is allocated from them. The listing of output times lists
    // such a file as it is; every other operation has nothing to work on.
    const bool backed = !run.only_dat_inputs || counts_backed(run);
    if (!backed && run.op != Operation::times)
        util::fail("ERROR - No time record found in .dat file: \"" + util::trimmed(run.input_name(1)) + "\"");
    const std::int32_t nn = backed ? run.n_nodes : 0;
    const std::int32_t nc = backed ? run.n_cells : 0;
    WorkArrays& w = run.work;
    console().line();
    console().line("Allocating RAM for a mesh of " + util::AINTEGER(run.n_nodes) + " nodes and " +
                   util::AINTEGER(run.n_cells) + " cells...");
    logged("Allocation nd1", [&] { allocate_untouched(w.nd1, nc); });
    logged("Allocation nd2", [&] { allocate_untouched(w.nd2, nc); });
    logged("Allocation nd3", [&] { allocate_untouched(w.nd3, nc); });
    logged("Allocation nd4", [&] { allocate_untouched(w.nd4, nc); });
    logged("Allocation sf", [&] { allocate_untouched(w.sf, nc); });
    logged("Allocation sfo", [&] { allocate_untouched(w.sfo, nc); });
    logged("Allocation ff", [&] { allocate_untouched(w.ff, nn); });
    logged("Allocation v1", [&] { allocate_untouched(w.v1, nn); });
    logged("Allocation v2", [&] { allocate_untouched(w.v2, nn); });
    logged("Allocation o1", [&] { allocate_untouched(w.o1, nn); });
    logged("Allocation o2", [&] { allocate_untouched(w.o2, nn); });
    logged("Allocation h1", [&] { allocate_untouched(w.h1, nn); });
    logged("Allocation h2", [&] { allocate_untouched(w.h2, nn); });
    logged("Allocation z1", [&] { allocate_untouched(w.z1, nn); });
    logged("Allocation z2", [&] { allocate_untouched(w.z2, nn); });
    logged("Allocation nceok", [&] { allocate_untouched(w.nceok, 4 * static_cast<std::int64_t>(nn)); });
    for (results::RES_TYPE* r : {&run.res_, &run.wk_res_}) {
        logged(r == &run.res_ ? "Allocation res_%" : "Allocation wk_res_%", [&] {
            results::CHECK_ALLOC(results::allocate_nodes(*r, nn));
            results::CHECK_ALLOC(results::allocate_array(r->CELL, nc));
        });
    }
    if (!run.fv_mesh)
        logged("Allocation geom_%", [&] { results::CHECK_ALLOC(reserve_mesh(run.geom_, nn, nc)); });
    logged("Allocation geom2_%", [&] { results::CHECK_ALLOC(reserve_mesh(run.geom2_, nn, nc)); });

    for (results::RES_TYPE* r : {&run.res_, &run.wk_res_}) {
        r->nnodes = run.n_nodes;
        r->ncells = run.n_cells;
        r->is_vector = run.primary_is_vector;
        r->time = 0.0f;
    }
    run.res_.is_fv = run.fv_mesh;
    run.geom_.nnodes = run.n_nodes;
    run.geom_.ncells = run.n_cells;
}

void write_output_header(RunState& run) {
    if (run.op == Operation::conv) return;
    results::OutputDescription& out = run.output();
    out.is_vector = run.primary_is_vector;
    // The direction, the duration and the difference (of vectors: of their magnitudes) are scalars.
    if (run.op == Operation::va || run.op == Operation::dur || run.op == Operation::ddur || run.op == Operation::dif)
        out.is_vector = false;
    if (run.op == Operation::va || run.op == Operation::keep) return;
    results::WRITE_OUTPUT_HEADER(out, run.res_);
}

void size_mesh(results::MESH_TYPE& mesh, std::int32_t nnodes, std::int32_t ncells) {
    results::CHECK_ALLOC(results::allocate_array(mesh.NODES, nnodes));
    results::CHECK_ALLOC(results::allocate_array(mesh.CELLS, ncells));
}

int open_mesh(InputRecord& in) {
    std::string name = util::trimmed(in.mesh_file);
    int unit = 0;
    util::OPENFILE(unit, "I ", name);
    in.mesh_file = util::fit(name, util::kNameLen);
    return unit;
}

void read_first_mesh(RunState& run) {
    console().line("...need to read .2dm file for _h data type");
    const int unit = open_mesh(run.input(1));
    // The wet-cell rule needs the corners of the elements, and no more of the mesh.
    results::CHECK_ALLOC(results::allocate_array(run.geom_.corners, run.n_cells));
    results::scan_read_2dm_corners(unit, run.geom_, run.n_nodes);
}

}  // namespace zorvel::driver
