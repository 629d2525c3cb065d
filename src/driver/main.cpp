// zorvel: post-processes the map output of a two-dimensional hydraulic model.
// main reads as the stages of one run; it is the only place that catches RunEnd,
// the one way every run ends, and turns it into the exit status. A std::bad_alloc
// from anywhere in the run becomes the end of the allocation check.

#include <memory>
#include <new>
#include <span>
#include <string>
#include <vector>

#include "driver/checks.hpp"
#include "driver/command_line.hpp"
#include "driver/ends.hpp"
#include "driver/inputs.hpp"
#include "driver/open_inputs.hpp"
#include "driver/operations.hpp"
#include "driver/output_names.hpp"
#include "driver/run_state.hpp"
#include "results/res_ops.hpp"
#include "results/results_writer.hpp"
#include "results/xmdf/binding.hpp"
#include "util/begun_outputs.hpp"
#include "util/fpu.hpp"
#include "util/run_files.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace {

using namespace zorvel;

// Hands the run to its one operation, tested in this order; each operation ends the run.
[[noreturn]] void run_operation(driver::RunState& run) {
    using driver::Operation;
    switch (run.op) {
    case Operation::max:
    case Operation::min: driver::run_max_min(run);
    case Operation::avg: driver::run_avg(run);
    case Operation::toi:
    case Operation::dur: driver::run_dur_toi(run);
    case Operation::dif: driver::run_dif(run);
    case Operation::times: driver::run_times(run);
    case Operation::keep: driver::run_keep(run);
    case Operation::con: driver::run_con(run);
    case Operation::remove: driver::run_remove(run);
    case Operation::range: driver::run_range(run);
    case Operation::trim: driver::run_trim(run);
    case Operation::va: driver::run_va(run);
    case Operation::xnfo: driver::run_xnfo(run);
    case Operation::conv: driver::run_conv(run);
    case Operation::ensight: driver::run_ensight(run);
    case Operation::ddur: break;
    }
    // -ddur is refused with the inputs and never comes here; refusing it again keeps the
    // dispatch an end on every road.
    driver::end_ddur_refused(run.cl.batch);
}

// The stages of a run, from the command-line words to the end; never returns.
[[noreturn]] void run(std::span<const std::string> words) {
    util::FILEUNITINIT(1000);
    driver::write_build_line();
    auto state = std::make_unique<driver::RunState>();
    driver::RunState& run = *state;

    // Command line: the words, the checks of their combination and the one operation.
    run.cl = driver::parse_command_line(words);
    driver::end_if_stopped(run.cl);
    driver::check_combinations(run.cl);
    run.op = driver::choose_operation(run.cl);

    // Inputs and output naming: the output description, a ".sup" list expanded, the
    // input tables, the inputs listed and classified, the time search tolerance, the
    // output type, and the cap on the run's memory that the inputs give. Every -ddur run
    // ends at this stage.
    driver::require_inputs(run);
    driver::name_output(run);
    driver::expand_sup(run);
    driver::make_input_tables(run);
    if (run.op == driver::Operation::ddur) driver::end_ddur_refused(run.cl.batch);
    driver::list_inputs(run);
    driver::set_time_tolerance(run);
    driver::choose_output_type(run);
    driver::require_dataset_selector(run);
    driver::refuse_output_as_input(run);
#ifndef ZORVEL_FUZZ_HARNESS
    // A harness that runs the program in-process is left its own limits.
    driver::cap_memory(run);
#endif

    // Opening, dataset selection and consistency checks, data types and meshes,
    // allocation of the records and the output header.
    driver::open_inputs_and_output(run);
    driver::select_xmdf_datasets(run);
    driver::count_cells_from_meshes(run);
    driver::check_sizes(run);
    driver::check_kinds(run);
    driver::set_data_types_and_meshes(run);
    driver::allocate_records(run);
    driver::write_output_header(run);

    run_operation(run);
}

}  // namespace

namespace zorvel::driver {

// One run from its command-line words to its exit status: everything main does past
// the process set-up. The command-line fuzz harness runs it in-process.
int run_program(std::span<const std::string> words) {
    // Outputs of an earlier run in this process are no concern of this one; this run's go
    // into place together at its end.
    util::keep_begun_outputs();
    util::defer_outputs_to_run_end(true);
    util::forget_run_files();
    int status = 0;
    try {
        try {
            run(words);
        } catch (const std::bad_alloc&) {
            // Memory that ran out anywhere in the run ends it as the allocation check does.
            results::CHECK_ALLOC(1);
        }
    } catch (const util::RunEnd& end) {
        status = end.status;
    }
    // A normal end moves the outputs into place once every file is closed; an error end
    // closes the ".xmdf" outputs still open and removes the temporary file of every output,
    // leaving the earlier files under their names as they were.
    if (status != 0) results::discard_open_outputs();
    results::xmdf::close_all_files();
    return util::close_all_at_end(status);
}

}  // namespace zorvel::driver

// The fuzz harness that runs the program in-process brings its own main.
#ifndef ZORVEL_FUZZ_HARNESS
int main(int argc, char** argv) {
    zorvel::util::flush_denormals();
    // SIGINT, SIGTERM and SIGHUP end the run at any moment, every output it has begun removed.
    zorvel::util::install_stop_handlers();
    // The HDF5 library is set up by the first XMDF call of a run, so that a run without
    // XMDF files pays nothing for it.
    const std::vector<std::string> words(argv + 1, argv + argc);
    return zorvel::driver::run_program(words);
}
#endif
