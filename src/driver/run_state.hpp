#pragma once
// The state of one run of the main program: every record and array that the stages
// fill and the operation reads, owned in one place for the whole run and passed to the
// routines that fill or read them.

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "driver/command_line.hpp"
#include "xmdf_read/catalogue.hpp"
#include "results/results_writer.hpp"
#include "results/mesh_2dm.hpp"
#include "results/res_type.hpp"
#include "results/sup.hpp"
#include "results/water_level.hpp"

namespace zorvel::driver {

// One input file of the run, numbered like the input names.
struct InputRecord {
    bool input_is_xmdf = false;
    bool input_is_dat = false;
    std::string data_type;   // "_h", "_d", "_V" ... or "XX" (text of 100)
    bool is_h = false;       // data_type is "_h" (water level)
    std::string mesh_file;   // the ".2dm" mesh of the input
    bool mesh_counted = false;  // mesh_file is the mesh opened for the input's cell count
    std::string stem;        // a ".dat" input's name without folder, extension and data-type suffix
    std::int32_t out_index = 0;   // the -conv output file that the input goes to
    std::int32_t xmdf_index = 0;  // position of an ".xmdf" input in the XMDF table, from 1
    bool input_is_vector = false;
};

// An array of the allocation log: made at full size but not written, so it costs no
// physical memory until the operation that uses it touches it.
template <typename T>
struct WorkArray {
    std::unique_ptr<T[]> data;
    std::size_t size = 0;
};

// The run's work arrays, in the order of the allocation log.
struct WorkArrays {
    WorkArray<std::int32_t> nd1, nd2, nd3, nd4;  // one per cell
    WorkArray<std::int8_t> sf, sfo;              // one per cell
    WorkArray<float> ff, v1, v2, o1, o2, h1, h2, z1, z2;  // one per node
    WorkArray<float> nceok;                      // four per node
};

struct RunState {
    CommandLine cl;
    Operation op = Operation::max;

    // Output descriptions; outputs[0] is output description 1 (none for -conv, which
    // makes its own).
    std::vector<results::OutputDescription> outputs;

    // The inputs: one record per input name, the ".xmdf" marks, the XMDF table, and for
    // each opened ".dat" input its unit and the card its last read ended on.
    std::vector<InputRecord> inputs;
    std::vector<bool> is_xmdf;
    xmdf_read::XmdfTable xmdf;
    std::array<int, kMaxInputs> units{};
    std::array<std::int32_t, kMaxInputs> next_card{};
    bool only_xmdf_inputs = true;
    bool only_dat_inputs = true;
    std::int32_t first_dat = 0;  // number of the first ".dat" input, from 1

    // The ".sup" list the inputs came from, when they did.
    bool from_sup = false;
    results::sup_contents sup;

    // Size and kind of the primary input, and what the headers said.
    std::int32_t n_nodes = 0;
    std::int32_t n_cells = 0;
    bool primary_is_vector = false;
    bool fv_mesh = false;           // the primary ".dat" file has as many cells as nodes
    std::string data_desc;          // dataset name of the last ".dat" header read
    std::string output_data_type;   // data type of the run

    // The step just read, the result being built, the time of an extreme (or the second
    // input of a difference), and the meshes of the first and second inputs.
    results::RES_TYPE res_;
    results::RES_TYPE wk_res_;
    results::RES_TYPE tm_res_;
    results::MESH_TYPE geom_;
    results::MESH_TYPE geom2_;
    // The water levels of the first and second inputs of a difference.
    results::WaterLevelRecord wl1_;
    results::WaterLevelRecord wl2_;
    WorkArrays work;

    results::OutputDescription& output() { return outputs.front(); }
    const results::OutputDescription& output() const { return outputs.front(); }
    std::int32_t n_inputs() const { return cl.n_inputs; }
    // Input i of the run, counted from 1.
    const std::string& input_name(std::int32_t i) const { return cl.input_names[static_cast<std::size_t>(i - 1)]; }
    InputRecord& input(std::int32_t i) { return inputs[static_cast<std::size_t>(i - 1)]; }
    const InputRecord& input(std::int32_t i) const { return inputs[static_cast<std::size_t>(i - 1)]; }
};

}  // namespace zorvel::driver
