// -xnfo: a listing of the datasets and output times of every ".xmdf" input, one
// "_xmdf_info.txt" text file per input (the -out name for a single input). Every input
// must be an ".xmdf" file.

#include <string>
#include <vector>

#include "driver/ends.hpp"
#include "driver/operations.hpp"
#include "driver/output_names.hpp"
#include "util/console.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
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
    std::vector<std::string> listings;
    if (out.user_named)
        listings.push_back(util::trimmed(out.out_path));
    else
        for (std::int32_t k = 1; k <= run.xmdf.n_xmdf; ++k) listings.push_back(xmdf_read::listing_name(run.xmdf.file(k)));
    refuse_outputs_read(run, listings);
    xmdf_read::WRITE_XMDF_INFO(run.xmdf, out);
    util::move_outputs_into_place();
    util::line_after_gap("Finished.");
    end_normal(run.cl.batch);
}

}  // namespace zorvel::driver
