// -xnfo: a listing of the datasets and output times of every ".xmdf" input, one
// "_xmdf_info.txt" text file per input (the -out name for a single input). Every input
// must be an ".xmdf" file.

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "util/console.hpp"
#include "xmdf_read/xnfo.hpp"

namespace zorvel::driver {

void run_xnfo(RunState& run) {
    util::line_after_gap("Extracting information from .xmdf files.");
    if (!run.only_xmdf_inputs) end_exits("\nERROR - All files must be .xmdf files for -xnfo option.");
    results::OutputDescription& out = run.output();
    out.to_text = true;
    if (run.cl.out_given && run.n_inputs() > 1) {
        util::line_after_gap("WARNING - -out option can only be used with a single input file for -xnfo.");
        util::console().line("   Specifed output name ignored.");
        out.user_named = false;
    }
    xmdf_read::WRITE_XMDF_INFO(run.xmdf, out);
    util::line_after_gap("Finished.");
    end_normal(run.cl.batch);
}

}  // namespace zorvel::driver
