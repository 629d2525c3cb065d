// -avg: the mean of every node of the one input over its output times (an ".xmdf" input's
// temporal dataset, or every time record of a ".dat" input that is not a stored extreme),
// written as one step at time 0 in <results>/Avg "Avg Value" of an ".xmdf" output, or
// as the one record of a ".dat" output.

#include "driver/checks.hpp"
#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "results/dat.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "xmdf_read/extract.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// Every node and cell of the record set to 0 (the nodes as fresh zeroed arrays, which
// cost nothing until they are written).
void clear(results::RES_TYPE& res) {
    results::CHECK_ALLOC(results::allocate_nodes(res, static_cast<std::int64_t>(res.value.size())));
    for (results::CELL_RES_TYPE& c : res.CELL) c.flag = 0;
}

}  // namespace

void run_avg(RunState& run) {
    console().line();
    console().line("Allocating secondary arrays for time of avg.");
    results::CHECK_ALLOC(results::allocate_nodes(run.tm_res_, run.n_nodes));
    results::CHECK_ALLOC(results::allocate_array(run.tm_res_.CELL, run.n_cells));
    console().line("Done.");
    run.tm_res_.nnodes = run.res_.nnodes;
    run.tm_res_.ncells = run.res_.ncells;
    if (run.cl.ignore_mm) {
        console().line();
        console().line("-Ignore_MM specified - Ignoring stored maximums or minimums if they exist.");
    }
    clear(run.res_);
    clear(run.tm_res_);
    clear(run.wk_res_);
    if (run.input(1).is_h && !run.fv_mesh) read_first_mesh(run);
    if (run.n_inputs() > 1) end_exits("\nERROR - expecting only one file when using -avg");

    const InputRecord& in = run.input(1);
    if (in.input_is_xmdf)
        xmdf_read::GET_XMDF_TEMPORAL_AVG(run.xmdf, in.xmdf_index, run.primary_is_vector, run.wk_res_);
    else
        results::DATAVERAGES(run.units[0], run.primary_is_vector, run.wk_res_);

    console().line();
    console().line("Writing Output");
    console().line();
    run.wk_res_.time = 0.0f;
    results::WRITE_OUTPUT_TIMESTEP(run.output(), run.wk_res_);
    end_finished(run.output(), run.cl.batch);
}

}  // namespace zorvel::driver
