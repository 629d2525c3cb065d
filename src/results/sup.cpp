#include "results/sup.hpp"

#include <limits>
#include <string_view>

#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/paths.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

using util::console;

constexpr std::size_t kLineLen = 1000;

// True when the line begins with the keyword, without regard to case.
bool keyword(std::string_view line, std::string_view key) {
    return line.size() >= key.size() && util::UPPERCASE(line.substr(0, key.size())) == key;
}

// A line that names the mesh.
bool is_mesh_line(std::string_view line) { return keyword(line, "MESH2D"); }
// A line that names a data file.
bool is_data_line(std::string_view line) { return keyword(line, "DATA"); }

// Columns from..1000 of a line, quotes removed, trailing blanks dropped.
std::string name_from(std::string_view line, std::size_t column) {
    return line.size() >= column ? util::REMOVEQUOTES(line.substr(column - 1)) : std::string();
}

// True when a left-justified name holds its own folder from the root or a drive.
bool names_own_folder(std::string_view bare) {
    return !bare.empty() && (bare[0] == '/' || bare[0] == '\\' || (bare.size() > 1 && bare[1] == ':'));
}

// The mesh name as the run opens it: a relative name is taken from the list's folder,
// any other name stays as the line gave it.
std::string mesh_path(std::string_view folder, const std::string& name) {
    const std::string bare = util::TRIMF(name);
    if (util::trimmed_length(folder) == 0 || bare.empty() || names_own_folder(bare)) return name;
    return in_sup_folder(folder, bare);
}

}  // namespace

std::string in_sup_folder(std::string_view folder, std::string_view name) {
    const std::string bare = util::TRIMF(name);
    if (names_own_folder(bare)) return bare;
    return util::fit(util::trimmed(folder) + bare, util::kNameLen);
}

void READ_SUP(sup_contents& sup) {
    int unit = 0;
    util::OPENFILE(unit, "I ", sup.sup_file);
    util::File* f = util::unit_file(unit);
    if (!f) util::fail("ERROR - .sup file " + util::trimmed(sup.sup_file) + " is not open.");
    console().line("Scanning File: " + util::trimmed(sup.sup_file));
    console().line();

    std::string line;
    std::int64_t count = 0;
    while (f->read_line(line))
        if (is_data_line(line)) ++count;
    if (count > std::numeric_limits<std::int32_t>::max())
        util::fail("ERROR - Too many data lines in .sup file " + util::trimmed(sup.sup_file));
    console().line();
    console().line("Found: " + util::AINTEGER(static_cast<std::int32_t>(count)) + " data file in .sup file.");

    console().line();
    console().line("Rewinding .sup file...");
    if (!f->rewind()) util::fail("ERROR - Unable to rewind .sup file " + util::trimmed(sup.sup_file));
    console().line("   Done.");

    sup.n_data = static_cast<std::int32_t>(count);
    console().line();
    console().line("Allocate arrarys for .sup file data.");
    CHECK_ALLOC(allocate_array(sup.data_files, count));
    console().line("   Done.");

    console().line();
    console().line("Reading .sup file...");
    sup.sup_folder = util::FILEFOLDERPATH(sup.sup_file);
    std::size_t k = 0;
    while (f->read_line(line)) {
        const std::string_view l = std::string_view(line).substr(0, kLineLen);
        if (is_mesh_line(l)) {
            const std::string name = name_from(l, 7);
            sup.sup_mesh = mesh_path(sup.sup_folder, name);
            console().line();
            console().line("2DM File:  " + name);
        } else if (is_data_line(l)) {
            const std::string name = name_from(l, 6);
            if (k < sup.data_files.size()) sup.data_files[k++] = name;
            console().line("Data file: " + name);
        }
    }
    console().line("   Done.");
    util::CLOSER(unit);
}

}  // namespace zorvel::results
