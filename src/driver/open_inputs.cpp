#include "driver/open_inputs.hpp"

#include <cmath>
#include <string>

#include "driver/ends.hpp"
#include "results/dat.hpp"
#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"
#include "xmdf_read/catalogue.hpp"
#include "xmdf_read/search.hpp"

namespace zorvel::driver {

namespace {

using util::console;

// Operations that open their outputs themselves.
bool opens_own_output(Operation op) {
    return op == Operation::xnfo || op == Operation::conv || op == Operation::ensight || op == Operation::va ||
           op == Operation::keep;
}

// Operations that go through the datasets themselves rather than one selected dataset.
bool walks_datasets(Operation op) {
    return op == Operation::xnfo || op == Operation::conv || op == Operation::ensight;
}

// Ends the run unless the -s or -v number names a dataset of every ".xmdf" input.
void check_dataset_number(const RunState& run) {
    const CommandLine& cl = run.cl;
    if (!cl.scalar_id_given && !cl.vector_id_given) return;
    const bool vector = cl.vector_id_given;
    const std::int32_t id = vector ? cl.vector_ids : cl.scalar_ids;
    for (std::int32_t k = 1; k <= run.xmdf.n_xmdf; ++k) {
        const std::int32_t count = run.xmdf.file(k).list(vector).n_paths;
        if (id >= 1 && id <= count) continue;
        console().line();
        if (vector) {
            console().line("ERROR - Specifed vector dataset does not exist.");
            end_exits("   Maximum vector ID = " + util::AINTEGER(count));
        }
        console().line("ERROR - Specifed scalar dataset does not exist.");
        end_exits("   Maximum scalar ID = " + util::AINTEGER(count));
    }
}

// Searches every ".xmdf" input for the dataset that the selector names.
void search_dataset(RunState& run) {
    CommandLine& cl = run.cl;
    console().line();
    console().line("Searching for specified data type in .xmdf files.");
    xmdf_read::XmdfTable& table = run.xmdf;
    if (cl.type_given) {
        xmdf_read::FIND_XMDF_TYPE(table, cl.type_desc, false);
    } else if (cl.path_given) {
        xmdf_read::FIND_XMDF_TYPE(table, cl.xmdf_path, true);
    } else if (cl.vector_id_given) {
        check_dataset_number(run);
        const xmdf_read::DatasetList& list = table.file(1).vectors;
        cl.type_desc = list.split_paths[static_cast<std::size_t>(cl.vector_ids - 1)].name;
        xmdf_read::FIND_XMDF_TYPE(table, cl.type_desc, false);
    } else if (cl.scalar_id_given) {
        check_dataset_number(run);
        const xmdf_read::DatasetList& list = table.file(1).scalars;
        const auto k = static_cast<std::size_t>(cl.scalar_ids - 1);
        console().line();
        console().line("Using specifed scalar dataset: " + util::trimmed(list.paths[k]));
        cl.type_desc = list.split_paths[k].name;
        xmdf_read::FIND_XMDF_TYPE(table, cl.type_desc, false);
    }
}

// Counts and reads the output times of every ".xmdf" input's dataset, and with -t
// selects the timestep to read.
void read_output_times(RunState& run) {
    xmdf_read::XmdfTable& table = run.xmdf;
    xmdf_read::GET_XMDF_NUM_TIMES(table, false, 0, false, 0);
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        xmdf_read::XmdfFile& file = table.file(k);
        console().line();
        console().line("Allocating arrays for storing time information from .xmdf file: " +
                       util::trimmed(file.file_name));
        xmdf_read::DatasetList& list = file.list(run.primary_is_vector);
        results::CHECK_ALLOC(results::allocate_array(list.output_times, list.n_times));
    }
    xmdf_read::GET_XMDF_TIMES(table, false, 0, false, 0);
    if (run.cl.time_given) xmdf_read::FIND_XMDF_TIME(table, run.cl.target_time, run.cl.time_tol);
}

}  // namespace

void open_inputs_and_output(RunState& run) {
    xmdf_read::READ_XMDF_HEADERS(run.xmdf);
    for (std::int32_t i = 1; i <= run.n_inputs(); ++i) {
        if (!run.input(i).input_is_dat) continue;
        util::OPENFILE(run.units[static_cast<std::size_t>(i - 1)], "BI",
                       run.cl.input_names[static_cast<std::size_t>(i - 1)]);
    }
    if (!opens_own_output(run.op)) results::OPEN_OUTPUT(run.output());

    if (!run.input(1).input_is_dat) return;
    results::READDATHEADER(run.units[0], run.n_nodes, run.n_cells, run.next_card[0], run.primary_is_vector,
                           run.input_name(1), run.data_desc);
    if (run.n_nodes == run.n_cells) {
        run.fv_mesh = true;
        run.cl.nowetdry = true;
        console().line();
        console().line("Number of cells equals number of nodes, assuming KESTRA FV output");
    }
}

void select_xmdf_datasets(RunState& run) {
    if (run.only_dat_inputs) return;
    CommandLine& cl = run.cl;
    xmdf_read::XmdfTable& table = run.xmdf;
    for (std::int32_t k = 1; k <= table.n_xmdf; ++k) {
        xmdf_read::XmdfFile& file = table.file(k);
        console().line();
        console().line("Allocating arrays for storing path information from .xmdf file: " +
                       util::trimmed(file.file_name));
        xmdf_read::allocate_path_arrays(file.scalars);
        xmdf_read::allocate_path_arrays(file.vectors);
        console().line("   Done.");
        if (cl.scalar_id_given)
            file.scalars.found_temporal = cl.scalar_ids;
        else if (cl.vector_id_given)
            file.vectors.found_temporal = cl.vector_ids;
    }
    xmdf_read::GET_XMDF_DATASET_NAMES(table);
    xmdf_read::GET_XMDF_SIZES(table);
    console().line("Finished.");

    if (walks_datasets(run.op)) {
        check_dataset_number(run);
    } else {
        search_dataset(run);
    }

    // A time-of-peak dataset has no stored maximum: its one time is read instead.
    if (util::FLAGEXISTS(cl.type_desc, "Time of Peak") && std::fabs(99999.0f - cl.target_time) < 1.0e-4f) {
        console().line("Maximum timestep does not exist for Time of Peak datasets, using time 0");
        cl.target_time = 0.0f;
    }

    const bool primary_is_xmdf = run.input(1).input_is_xmdf;
    if (primary_is_xmdf) run.primary_is_vector = table.file(1).vectors.type_found;
    if (!walks_datasets(run.op)) read_output_times(run);
    if (primary_is_xmdf) {
        run.n_nodes = table.file(1).nnodes;
        run.n_cells = table.file(1).ncells;
    }
}

}  // namespace zorvel::driver
