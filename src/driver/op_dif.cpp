// -dif: input 1 minus input 2, node by node, at the -t time or at every output time that
// the two inputs have in common. Unless the wet/dry test is off (-nowetdry, or a
// finite-volume primary input), a node wet in one result only gets a code in place of a
// difference: 99 wet only in the first, -99 wet only in the second, 0 dry in both. A node
// is wet where its water level lies above the bed of the input's own mesh; the levels are
// the data themselves for water-level inputs, else those of a ".dat" input's companion
// "_h.dat" file or of an ".xmdf" input's "Water Level" datasets, always of the data's time.
//
// Output: one scalar dataset (vectors are differenced by magnitude), one step per
// difference at input 1's time.

#include <array>
#include <cmath>
#include <string>
#include <string_view>

#include "driver/checks.hpp"
#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/step_reader.hpp"
#include "results/dat.hpp"
#include "results/mesh_2dm.hpp"
#include "results/res_ops.hpp"
#include "results/step_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/extract.hpp"
#include "xmdf_read/water_levels.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// One input of the difference: its step record and its water levels, and for a ".dat"
// input that needs levels its companion "_h.dat" file.
struct Side {
    std::int32_t input = 0;  // 1 or 2
    results::RES_TYPE* rec = nullptr;
    results::WaterLevelRecord* wl = nullptr;
    int companion = 0;                  // unit of the companion; 0 for none
    std::string companion_name;         // as opened
    results::RES_TYPE companion_shape;  // the companion's counts and kind, for its reads
    bool levels_held = false;           // the water levels hold a record of the companion
};

// The operation's state beside the run's records.
struct Dif {
    bool wet_dry = false;  // the wet/dry test is on
    bool need_wl = false;  // water levels are read beside the data
    std::array<Side, 2> sides;
};

// A file name in double quotes, as the ".dat" messages give it.
std::string quoted(std::string_view name) {
    std::string q;
    q += '"';
    q += util::trimmed(name);
    q += '"';
    return q;
}

// Ends the run unless both inputs hold the same kind of data.
void check_data_types(const RunState& run) {
    if (util::ASAME(run.input(1).data_type, run.input(2).data_type)) return;
    util::line_after_gap("WARNING - Files should be same data type, e.g. both water level.");
    console().line("    Unexpected results may occur.");
    util::EXITS();
}

// The record of input 2's steps, sized and of the kind of the primary input.
void allocate_second_record(RunState& run) {
    util::line_after_gap("Allocating secondary arrays for results storage.");
    results::CHECK_ALLOC(results::allocate_nodes(run.tm_res_, run.n_nodes));
    results::CHECK_ALLOC(results::allocate_array(run.tm_res_.CELL, run.n_cells));
    console().line("Done.");
    run.tm_res_.nnodes = run.res_.nnodes;
    run.tm_res_.ncells = run.res_.ncells;
    run.tm_res_.is_vector = run.primary_is_vector;
}

// Reads input i's mesh into the mesh record.
void read_mesh(RunState& run, std::int32_t i, results::MESH_TYPE& mesh) {
    int unit = open_mesh(run.input(i));
    size_mesh(mesh, run.n_nodes, run.n_cells);
    results::scan_read_2dm(unit, mesh);
    util::CLOSER(unit);
}

// Both meshes; every node of the first then carries the second's bed level as z2.
void read_meshes(RunState& run) {
    util::line_after_gap("...need to also read .2dm files");
    read_mesh(run, 1, run.geom_);
    read_mesh(run, 2, run.geom2_);
    console().line("Finished reading .2dm files.");
    const std::size_t n = std::min(run.geom_.NODES.size(), run.geom2_.NODES.size());
    for (std::size_t j = 0; j < n; ++j) run.geom_.NODES[j].z2 = run.geom2_.NODES[j].z;
}

// Opens a ".dat" input's companion "_h.dat" file and reads its header: a file of the
// primary input's numbers of nodes and cells, read by its own kind.
void open_companion(RunState& run, Side& side) {
    util::line_after_gap(side.input == 1 ? "...need to also read first _h.dat file"
                                         : "...need to also read second _h.dat file");
    side.companion_name = water_level_companion(run.input_name(side.input));
    util::OPENFILE(side.companion, "BI", side.companion_name);
    std::int32_t nnodes = 0;
    std::int32_t ncells = 0;
    std::int32_t card = 0;
    bool vector = false;
    std::string desc;
    results::READDATHEADER(side.companion, nnodes, ncells, card, vector, side.companion_name, desc);
    if (nnodes != run.n_nodes || ncells != run.n_cells)
        util::fail("ERROR - Numbers of nodes and cells in .dat file do not match the results: " +
                   quoted(side.companion_name));
    if (card != results::kCardTimeRecord)
        util::fail("ERROR - No time record found in .dat file: " + quoted(side.companion_name));
    side.companion_shape.nnodes = nnodes;
    side.companion_shape.ncells = ncells;
    side.companion_shape.is_vector = vector;
}

// The wet/dry set-up: meshes, water-level records, and where each input's levels come from.
void set_up_wet_dry(RunState& run, Dif& d) {
    read_meshes(run);
    if (run.input(1).is_h) return;
    d.need_wl = true;
    util::line_after_gap("...need to read water level data.");
    console().line("Allocating water level arrays.");
    results::CHECK_ALLOC(results::allocate_water_levels(run.wl1_, run.res_.nnodes, run.res_.ncells));
    results::CHECK_ALLOC(results::allocate_water_levels(run.wl2_, run.res_.nnodes, run.res_.ncells));
    console().line("Done.");
    for (Side& side : d.sides) {
        const InputRecord& in = run.input(side.input);
        if (in.is_h) continue;
        if (in.input_is_xmdf)
            xmdf_read::FIND_WATER_LEVEL(run.xmdf, *side.wl, in.xmdf_index, run.cl.scalar_id_given);
        else
            open_companion(run, side);
    }
}

// Reads the companion on from where it stands to its levels of the data's time, passing
// over levels of other times (half-hourly levels beside hourly data). Once the companion
// has ended, the levels it last gave serve a data time that they match (a time that the
// data give twice); a time that the companion lacks ends the run.
void companion_levels(const RunState& run, Side& side) {
    const float time = side.rec->time;
    const float tol = run.cl.time_tol;
    if (results::next_dat_values_at(side.companion, side.companion_shape, *side.wl, time, tol)) {
        side.levels_held = true;
        return;
    }
    if (side.levels_held && std::fabs(side.wl->time - time) <= tol) return;
    util::fail("ERROR - Water level time does not match the data time in: " + quoted(side.companion_name));
}

// The levels of one input at the -t time.
void levels_at_time(RunState& run, const Side& side) {
    const InputRecord& in = run.input(side.input);
    const CommandLine& cl = run.cl;
    if (in.is_h) return;
    if (in.input_is_xmdf)
        xmdf_read::GET_WATER_LEVEL(run.xmdf, *side.wl, in.xmdf_index, cl.target_time, cl.time_tol, -99, -99);
    else if (side.companion > 0)
        results::FINDDATVALUES(side.companion, side.companion_shape, *side.wl, cl.target_time, cl.time_tol);
}

// Takes the difference of the two records into wk_res_ and writes it.
void difference(RunState& run, const Dif& d) {
    results::RES_DIFFERENCE(run.res_, run.tm_res_, run.wk_res_, run.wl1_, run.wl2_, run.geom_, run.input(1).is_h,
                            !d.wet_dry);
    results::WRITE_OUTPUT_TIMESTEP(run.output(), run.wk_res_);
}

// The difference at the -t time; ends the run.
[[noreturn]] void difference_at_time(RunState& run, Dif& d) {
    for (const Side& side : d.sides) read_step_at_time(run, *side.rec, side.input);
    if (d.need_wl)
        for (const Side& side : d.sides) levels_at_time(run, side);
    difference(run, d);
    results::CLOSE_OUTPUT(run.output());
    util::move_outputs_into_place();
    util::line_after_gap("Finished.");
    console().line();
    end_normal(run.cl.batch);
}

// Reads the next step of one input and, when needed, its water levels of that step's time;
// false when the input had no further step.
bool read_next(RunState& run, const Dif& d, Side& side, StepReader& reader) {
    if (!reader.next(*side.rec)) return false;
    if (!d.need_wl || run.input(side.input).is_h) return true;
    const InputRecord& in = run.input(side.input);
    if (in.input_is_xmdf) {
        const float tol = run.cl.time_tol;
        const std::int32_t step =
            xmdf_read::water_level_step(run.xmdf, *side.wl, in.xmdf_index, side.rec->time, tol, reader.step());
        xmdf_read::GET_WATER_LEVEL(run.xmdf, *side.wl, in.xmdf_index, -99.0f, tol, side.wl->wl_temporal, step);
    } else {
        companion_levels(run, side);
    }
    return true;
}

// The differences at every common output time. The inputs are walked side by side; a
// step whose time the other input lacks is skipped, and the walk ends when the input
// that must be read next has no further step.
void difference_all_times(RunState& run, Dif& d) {
    const bool vector = run.primary_is_vector;
    if (d.need_wl)
        for (const Side& side : d.sides)
            if (run.input(side.input).input_is_xmdf && !run.input(side.input).is_h)
                xmdf_read::require_temporal_water_levels(run.xmdf, *side.wl, run.input(side.input).xmdf_index);
    Side& first = d.sides[0];
    Side& second = d.sides[1];
    StepReader reader1(run, 1, vector, true);
    StepReader reader2(run, 2, vector, true);

    bool first_ahead = false;   // input 1's time is the later: input 2's step has no partner
    bool second_ahead = false;  // input 2's time is the later: input 1's step has no partner
    bool same = false;
    const auto compare = [&] {
        results::CHECK_TIMES(run.res_, run.tm_res_, first_ahead, second_ahead, same);
        if (same) first_ahead = second_ahead = false;
    };
    if (!read_next(run, d, first, reader1) || !read_next(run, d, second, reader2)) return;
    compare();
    bool done = false;
    while (!done) {
        if (second_ahead) {
            if (reader1.at_last()) break;
            console().line("Skipping time in first data file, time: " + util::trimmed(util::AREAL(run.res_.time)));
            if (!read_next(run, d, first, reader1)) break;
            compare();
        } else if (first_ahead) {
            if (reader2.at_last()) break;
            console().line("Skipping time in second data file, time: " +
                           util::trimmed(util::AREAL(run.tm_res_.time)));
            if (!read_next(run, d, second, reader2)) break;
            compare();
        } else {
            difference(run, d);
            results::END_OF_DATA(run.res_, run.tm_res_, reader1.count(), reader2.count(), reader1.step(),
                                 reader2.step(), done);
            if (done) break;
            if (!read_next(run, d, first, reader1) || !read_next(run, d, second, reader2)) break;
            compare();
        }
    }
}

}  // namespace

void run_dif(RunState& run) {
    check_data_types(run);
    allocate_second_record(run);
    Dif d;
    d.wet_dry = !run.fv_mesh && !run.cl.nowetdry;
    d.sides[0].input = 1;
    d.sides[0].rec = &run.res_;
    d.sides[0].wl = &run.wl1_;
    d.sides[1].input = 2;
    d.sides[1].rec = &run.tm_res_;
    d.sides[1].wl = &run.wl2_;
    if (d.wet_dry) set_up_wet_dry(run, d);

    if (run.cl.time_given) difference_at_time(run, d);
    difference_all_times(run, d);
    end_closing_files(run.output(), run.cl.batch);
}

}  // namespace zorvel::driver
