#pragma once
// Test helper: a run taken from its words through the naming and input stages.

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "driver/inputs.hpp"
#include "driver/output_names.hpp"
#include "driver/run_state.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace driver_test {

using namespace zorvel;

// A run taken through the naming and the input stages as far as they go, with what
// the console showed and how the run ended (-1: it went on).
struct Staged {
    driver::RunState run;
    std::string text;
    int status = -1;
};

inline std::unique_ptr<Staged> stage(const std::vector<std::string>& words, const std::string& input = "") {
    util::FILEUNITINIT(1000);
    auto s = std::make_unique<Staged>();
    std::ostringstream out;
    std::istringstream in(input);
    {
        util::ConsoleCapture cap(out, in);
        try {
            s->run.cl = driver::parse_command_line(words);
            s->run.op = driver::choose_operation(s->run.cl);
            out.str("");
            driver::require_inputs(s->run);
            driver::name_output(s->run);
            driver::expand_sup(s->run);
            driver::make_input_tables(s->run);
            driver::list_inputs(s->run);
            driver::set_time_tolerance(s->run);
            driver::choose_output_type(s->run);
            driver::require_dataset_selector(s->run);
            driver::refuse_output_as_input(s->run);
        } catch (const util::RunEnd& e) {
            s->status = e.status;
        }
    }
    s->text = out.str();
    return s;
}

}  // namespace driver_test
