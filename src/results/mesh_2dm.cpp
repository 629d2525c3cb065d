#include "results/mesh_2dm.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <string_view>
#include <type_traits>
#include <vector>

#include "util/console.hpp"
#include "util/numbers.hpp"
#include "util/support.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

using util::console;

enum class Got { ok, end, bad };

// The free-format fields of one line: words separated by runs of blanks, tabs and commas.
class Fields {
public:
    explicit Fields(std::string_view text) : p_(text.data()), end_(text.data() + text.size()) {}

    // The next word, or end when the line has no more.
    Got word(std::string_view& out) {
        skip_separators();
        if (p_ == end_) return Got::end;
        const char* start = p_;
        while (p_ < end_ && !is_separator(*p_)) ++p_;
        out = std::string_view(start, static_cast<std::size_t>(p_ - start));
        return Got::ok;
    }

    // An integer of the target type; a real, a word or a value out of range is bad.
    template <typename Int>
    Got integer(Int& value) {
        skip_separators();
        if (p_ == end_) return Got::end;
        // The plain form, an optional sign and up to 18 digits, by its own loop.
        const char* q = p_;
        const bool negative = *q == '-';
        if (negative || *q == '+') ++q;
        const char* digits = q;
        std::uint64_t u = 0;
        while (q < end_ && static_cast<unsigned>(*q - '0') < 10u) u = u * 10 + static_cast<unsigned>(*q++ - '0');
        const std::ptrdiff_t n = q - digits;
        if (n > 0 && n <= 18 && (q == end_ || is_separator(*q))) {
            const auto v = negative ? -static_cast<std::int64_t>(u) : static_cast<std::int64_t>(u);
            if (v < std::numeric_limits<Int>::min() || v > std::numeric_limits<Int>::max()) return Got::bad;
            value = static_cast<Int>(v);
            p_ = q;
            return Got::ok;
        }
        std::string_view w;
        word(w);
        if (w.size() > 1 && w[0] == '+' && w[1] != '-' && w[1] != '+') w.remove_prefix(1);
        long long general = 0;
        auto [ptr, ec] = std::from_chars(w.data(), w.data() + w.size(), general);
        if (ec != std::errc() || ptr != w.data() + w.size()) return Got::bad;
        if (general < std::numeric_limits<Int>::min() || general > std::numeric_limits<Int>::max()) return Got::bad;
        value = static_cast<Int>(general);
        return Got::ok;
    }

    // A real as a list-directed read takes it: also with a "D" exponent or a "+" sign.
    template <typename Real>
    Got real(Real& value) {
        skip_separators();
        if (p_ == end_) return Got::end;
        Plain n;
        const char* at = p_;
        if (plain(n)) {
            if (exact(n, value)) return Got::ok;
            p_ = at;
        }
        std::string_view w;
        word(w);
        if (w.size() > 1 && w[0] == '+' && w[1] != '-' && w[1] != '+') w.remove_prefix(1);
        char buf[64];
        if (w.find_first_of("dD") != std::string_view::npos) {
            if (w.size() > sizeof buf) return Got::bad;
            std::memcpy(buf, w.data(), w.size());
            for (std::size_t i = 0; i < w.size(); ++i)
                if (buf[i] == 'd' || buf[i] == 'D') buf[i] = 'e';
            w = std::string_view(buf, w.size());
        }
        Real v{};
        auto [ptr, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc() || ptr != w.data() + w.size()) return Got::bad;
        value = v;
        return Got::ok;
    }

    // A character value: a quoted text (quotes removed) or a word.
    std::string_view text() {
        while (p_ < end_ && is_separator(*p_)) ++p_;
        if (p_ == end_) return {};
        if (*p_ == '"' || *p_ == '\'') {
            const char q = *p_++;
            const char* start = p_;
            while (p_ < end_ && *p_ != q) ++p_;
            std::string_view t(start, static_cast<std::size_t>(p_ - start));
            if (p_ < end_) ++p_;
            return t;
        }
        std::string_view w;
        word(w);
        return w;
    }

private:
    // A number in its plain form: an optional sign, up to 19 digits with at most one
    // point among them, nothing else: the digits as one integer m, of which frac come
    // after the point.
    struct Plain {
        std::uint64_t m = 0;
        int frac = 0;
        bool point = false;
        bool negative = false;
    };

    // Blanks, tabs and commas separate fields.
    static bool is_separator(char c) { return c == ' ' || c == '\t' || c == ','; }

    void skip_separators() {
        while (p_ < end_ && is_separator(*p_)) ++p_;
    }

    // Reads the word at p_ when it is a number in its plain form, the form nearly every
    // field of a mesh has, and moves past it; any other word is left where it is for the
    // general reader, which accepts or refuses it as before.
    bool plain(Plain& n) {
        const char* q = p_;
        if (*q == '-' || *q == '+') n.negative = *q++ == '-';
        const char* digits = q;
        std::uint64_t m = 0;
        while (q < end_ && static_cast<unsigned>(*q - '0') < 10u) m = m * 10 + static_cast<unsigned>(*q++ - '0');
        std::ptrdiff_t count = q - digits;
        if (q < end_ && *q == '.') {
            n.point = true;
            const char* fraction = ++q;
            while (q < end_ && static_cast<unsigned>(*q - '0') < 10u) m = m * 10 + static_cast<unsigned>(*q++ - '0');
            n.frac = static_cast<int>(q - fraction);
            count += q - fraction;
        }
        if (count == 0 || count > 19 || (q < end_ && !is_separator(*q))) return false;
        n.m = m;
        p_ = q;
        return true;
    }

    // The value of a plain number when it is worked out exactly: digits and a power of ten
    // that the type holds exactly, divided once, so rounded once as the general reader
    // rounds. False when the number needs the general reader.
    template <typename Real>
    static bool exact(const Plain& n, Real& value) {
        static constexpr double kTens[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                           1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
        static constexpr float kTensF[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f, 1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
        constexpr bool single = std::is_same_v<Real, float>;
        constexpr std::uint64_t kLargest = single ? (std::uint64_t{1} << 24) : (std::uint64_t{1} << 53);
        constexpr int kMostFrac = single ? 10 : 22;
        if (n.m > kLargest || n.frac > kMostFrac) return false;
        Real v;
        if constexpr (single)
            v = static_cast<float>(n.m) / kTensF[n.frac];
        else
            v = static_cast<Real>(static_cast<double>(n.m) / kTens[n.frac]);
        value = n.negative ? -v : v;
        return true;
    }

    const char* p_;
    const char* end_;
};

// The fields of a line after its keyword of n characters.
Fields fields_after(std::string_view line, std::size_t n) {
    return Fields(line.size() > n ? line.substr(n) : std::string_view());
}

// True when the line begins with the keyword, compared exactly.
bool starts(std::string_view line, std::string_view key) { return line.substr(0, key.size()) == key; }

// The line that tells where in which file a fault lies.
void where(std::string_view file, long long line_no) {
    console().line("   .2dm file: " + std::string(file) + ", line " + std::to_string(line_no));
}

// The open file of a mesh unit; a unit with no file ends the run.
util::File& mesh_file(int unit) {
    util::File* f = util::unit_file(unit);
    if (!f) util::fail("ERROR - No .2dm file is open on unit " + std::to_string(unit) + ".");
    return *f;
}

// Ends the run on a line whose fields cannot be read, showing the line.
[[noreturn]] void read_error(const util::File& f, long long line_no, std::string_view line) {
    console().line();
    console().line("ERROR - Reading .2dm file from following line in .2dm file");
    where(f.name(), line_no);
    console().line();
    console().line(util::rtrim(line));
    console().line();
    util::EXITS();
}

// Ends the run on a number outside the range that the mesh's tables hold.
[[noreturn]] void range_error(const util::File& f, long long line_no, const std::string& message) {
    console().line();
    console().line(message);
    where(f.name(), line_no);
    util::EXITS();
}

// Checks that a node number lies within the nodes.
void check_node(const util::File& f, long long line_no, std::int32_t element, std::int32_t node,
                std::int64_t nnodes) {
    if (node < 1 || node > nnodes)
        range_error(f, line_no,
                    "ERROR - Element " + std::to_string(element) + " names node " + std::to_string(node) +
                        ", which is not between 1 and the number of nodes (" + std::to_string(nnodes) + ").");
}

// Ends the run when a table does not have the size that the file's count needs.
void check_count(const util::File& f, std::string_view what, std::int64_t table, std::int64_t in_file) {
    if (table == in_file) return;
    console().line();
    console().line("ERROR - Number of " + std::string(what) + " does not match results file. Expecting number of " +
                   std::string(what) + ": " + util::integer_field(table, 12));
    console().line("   .2dm file: " + f.name() + " has " + std::to_string(in_file) + " " + std::string(what) + ".");
    util::EXITS();
}

enum class Layout { fv, pre2005, current };

// Which fields the node and element lines carry, from what SCAN2DM found on the first line.
Layout layout_of(const MESH_TYPE& mesh) {
    return mesh.is_fv ? Layout::fv : mesh.pre2005 ? Layout::pre2005 : Layout::current;
}

// Reads the fields of one element line after its keyword into a fresh element record.
bool read_element(Fields& f, int corners, Layout layout, std::int32_t& id, mesh_cell& cell) {
    std::array<std::int32_t, 9> n{};
    if (f.integer(id) != Got::ok) return false;
    for (int i = 0; i < corners; ++i)
        if (f.integer(n[static_cast<std::size_t>(i)]) != Got::ok) return false;
    if (f.integer(cell.material) != Got::ok) return false;
    if (layout != Layout::fv) {
        if (f.integer(cell.extra[0]) != Got::ok || f.integer(cell.extra[1]) != Got::ok) return false;
        if (layout == Layout::current) {
            if (f.integer(cell.flag) != Got::ok) return false;
            if (corners == 3) {
                std::string_view w;
                if (f.word(w) != Got::ok) return false;
                if (w.size() >= 2 && (w[0] == '"' || w[0] == '\'') && w.back() == w[0])
                    w = w.substr(1, w.size() - 2);
                cell.code = {w.size() > 0 ? w[0] : ' ', w.size() > 1 ? w[1] : ' '};
            }
        }
    }
    cell.kind = corners;
    if (corners == 3) {
        cell.nodes[0] = n[0];
        cell.nodes[1] = n[2];
        cell.nodes[2] = n[1];
    } else if (corners == 4) {
        cell.nodes[0] = n[0];
        cell.nodes[1] = n[3];
        cell.nodes[2] = n[2];
        cell.nodes[3] = n[1];
    }
    return true;
}

// The element fields of a 9-node quadrilateral: corners first, then mid-sides, then centre.
bool read_quad9(Fields& f, std::int32_t& id, mesh_cell& cell) {
    std::array<std::int32_t, 9> n{};
    if (f.integer(id) != Got::ok) return false;
    for (std::int32_t& v : n)
        if (f.integer(v) != Got::ok) return false;
    if (f.integer(cell.material) != Got::ok || f.integer(cell.extra[0]) != Got::ok ||
        f.integer(cell.extra[1]) != Got::ok || f.integer(cell.flag) != Got::ok)
        return false;
    cell.kind = 9;
    cell.nodes = {n[0], n[2], n[4], n[6], n[1], n[3], n[5], n[7], n[8]};
    return true;
}

// Marks a node (numbered from 1) with its kind.
void set_kind(MESH_TYPE& mesh, std::int32_t node, const char (&kind)[3]) {
    mesh.NODES[static_cast<std::size_t>(node - 1)].kind = {kind[0], kind[1]};
}

// What READ2DM keeps of the lines it reads: every node and element, and the node kinds.
struct KeepAll {
    MESH_TYPE& mesh;

    std::int64_t node_table() const { return static_cast<std::int64_t>(mesh.NODES.size()); }
    std::int64_t cell_table() const { return static_cast<std::int64_t>(mesh.CELLS.size()); }
    void node(std::int32_t id, mesh_node& node) {
        mesh_node& slot = mesh.NODES[static_cast<std::size_t>(id - 1)];
        node.kind = slot.kind;
        node.z2 = slot.z2;
        slot = node;
    }
    void cell(std::int32_t id, const mesh_cell& cell) { mesh.CELLS[static_cast<std::size_t>(id - 1)] = cell; }
    // Gives every node the kind of the last element (in element order) that uses it.
    void kinds(bool fv) {
        if (fv) {
            for (mesh_node& n : mesh.NODES) n.kind = {'F', 'V'};
            return;
        }
        for (const mesh_cell& c : mesh.CELLS) {
            if (c.kind == 3) {
                for (int i = 0; i < 3; ++i) set_kind(mesh, c.nodes[static_cast<std::size_t>(i)], "T ");
            } else {
                for (int i = 0; i < 4; ++i) set_kind(mesh, c.nodes[static_cast<std::size_t>(i)], "H ");
                if (c.kind == 9) {
                    for (int i = 4; i < 8; ++i) set_kind(mesh, c.nodes[static_cast<std::size_t>(i)], "UV");
                    set_kind(mesh, c.nodes[8], "C ");
                }
            }
        }
    }
};

// What read_2dm_corners keeps: the corners of each element alone; the node lines are read
// and checked but not kept, and the results give the number of nodes the mesh must have.
struct KeepCorners {
    MESH_TYPE& mesh;
    std::int32_t nodes;

    std::int64_t node_table() const { return nodes; }
    std::int64_t cell_table() const { return static_cast<std::int64_t>(mesh.corners.size()); }
    void node(std::int32_t, mesh_node&) {}
    void cell(std::int32_t id, const mesh_cell& cell) {
        mesh.corners[static_cast<std::size_t>(id - 1)] = {cell.nodes[0], cell.nodes[1], cell.nodes[2], cell.nodes[3]};
    }
    void kinds(bool) {}
};

// READ2DM's pass over the file, keeping what keep keeps: the lines, checks and ends are
// the same whatever is kept.
template <typename Keep>
void read_mesh_lines(util::File& f, MESH_TYPE& mesh, Keep& keep) {
    // Nothing is stored unless the mesh fits the tables made for its results.
    check_count(f, "cells", keep.cell_table(), mesh.ncells);
    check_count(f, "nodes", keep.node_table(), mesh.nnodes);
    const std::int64_t nnodes = mesh.nnodes;
    const std::int64_t ncells = mesh.ncells;
    const Layout layout = layout_of(mesh);

    console().line("Rewinding .2dm file...");
    if (!f.rewind()) util::fail("ERROR - Unable to rewind .2dm file " + f.name());
    console().line("   Done.");
    console().line();
    console().line("...reading .2dm file");
    console().line();
    console().write("Element:");

    // Which elements a line has filled; the tables come zeroed from the caller.
    std::vector<bool> filled(static_cast<std::size_t>(ncells));
    std::string_view line;
    long long line_no = 0;
    std::int64_t nodes_read = 0, cells_read = 0;
    while (f.next_line(line)) {
        ++line_no;
        if (line.size() < 2) continue;
        if (line[0] == 'N' && line[1] == 'D') {
            Fields fl = fields_after(line, 2);
            std::int32_t id = 0;
            mesh_node node;
            if (fl.integer(id) != Got::ok || fl.real(node.x) != Got::ok || fl.real(node.y) != Got::ok ||
                fl.real(node.z) != Got::ok)
                read_error(f, line_no, line);
            if (layout == Layout::current) {
                if (fl.integer(node.offset_flag) != Got::ok || fl.real(node.extra[0]) != Got::ok ||
                    fl.real(node.extra[1]) != Got::ok || fl.real(node.extra[2]) != Got::ok)
                    read_error(f, line_no, line);
                if (node.offset_flag == 1) node.z -= mesh.z_offset;
            }
            if (id < 1 || id > nnodes)
                range_error(f, line_no,
                            "ERROR - Node id " + std::to_string(id) + " is not between 1 and the number of nodes (" +
                                std::to_string(nnodes) + ").");
            keep.node(id, node);
            ++nodes_read;
        } else if (line[0] == 'E' && line.size() >= 3 &&
                   (starts(line, "E3T") || starts(line, "E4Q") || starts(line, "E9Q"))) {
            ++cells_read;
            const char shape = line[1];
            if (shape == '9' && layout != Layout::current) {
                console().line();
                console().line("ERROR - Unexpected 9 point quad in FV or pre 2005 mesh.");
                where(f.name(), line_no);
                util::EXITS();
            }
            Fields fl = fields_after(line, 3);
            std::int32_t id = 0;
            mesh_cell cell;
            const bool ok = shape == '9' ? read_quad9(fl, id, cell) : read_element(fl, shape - '0', layout, id, cell);
            if (!ok) read_error(f, line_no, line);
            if (id < 1 || id > ncells)
                range_error(f, line_no,
                            "ERROR - Element id " + std::to_string(id) +
                                " is not between 1 and the number of elements (" + std::to_string(ncells) + ").");
            for (int i = 0; i < cell.kind; ++i)
                check_node(f, line_no, id, cell.nodes[static_cast<std::size_t>(i)], nnodes);
            keep.cell(id, cell);
            filled[static_cast<std::size_t>(id - 1)] = true;
            if (cells_read % 10000 == 0) console().write(util::integer_field(cells_read, 8));
        } else if (starts(line, "MESHPART")) {
            Fields fl = fields_after(line, 9);
            std::string name = util::fit(fl.text(), kPartNameLen);
            ++mesh.nparts;
            const auto k = static_cast<std::size_t>(mesh.nparts);
            if (mesh.part_names.size() < k) mesh.part_names.resize(k);
            mesh.part_names[k - 1] = std::move(name);
        }
    }
    console().line();
    console().line();
    console().line();
    console().line("Finished Reading .2dm file");

    if (cells_read != ncells) {
        console().line();
        console().line("ERROR - Number of cells does not match results file. Expecting number of cells: " +
                       util::integer_field(ncells, 12));
        console().line("   .2dm file: " + f.name() + " has " + std::to_string(cells_read) + " element lines.");
        util::EXITS();
    }
    if (nodes_read != nnodes) {
        console().line();
        console().line("ERROR - Number of nodes does not match results file. Expecting number of nodes: " +
                       util::integer_field(nnodes, 12));
        console().line("   .2dm file: " + f.name() + " has " + std::to_string(nodes_read) + " node lines.");
        util::EXITS();
    }

    // An element that no line filled cannot be used and ends the run.
    for (std::int64_t e = 0; e < ncells; ++e) {
        if (filled[static_cast<std::size_t>(e)]) continue;
        console().line();
        console().line("ERROR - Should not be here, cell is not e3t, e4q or e9q.  Contact " +
                       std::string(util::kSupportAddress) + ".");
        console().line("   .2dm file: " + f.name() + " has no element line for element " + std::to_string(e + 1) + ".");
        util::EXITS();
    }
    keep.kinds(layout == Layout::fv);
}

}  // namespace

void SCAN2DM(int unit, MESH_TYPE& mesh) {
    util::File& f = mesh_file(unit);
    mesh.high_res = false;
    mesh.is_fv = false;
    std::string first;
    f.read_line(first);
    if (!starts(first, "MESH2D")) {
        console().line();
        console().line("Did not find \"MESH2D\" in first 6 characters of first line");
        console().line("Found: " + util::trimmed(first));
        util::EXITS();
    }
    const std::size_t length = util::trimmed_length(first);
    if (length < 10) {
        console().line();
        console().line("No KESTRA geo-referencing information - assume KESTRA FV mesh...");
        mesh.is_fv = true;
    } else {
        console().line(" Reading geo-referencing information...");
        Fields values = fields_after(first, 10);
        Got got = Got::ok;
        for (double& g : mesh.georef) {
            double v = 0.0;
            got = values.real(v);
            if (got != Got::ok) break;
            g = v;
        }
        if (got == Got::ok && length >= 83) {
            float v = 0.0f;
            got = values.real(v);
            if (got == Got::ok) mesh.z_offset = v;
        }
        if (got == Got::bad) read_error(f, 1, first);
        mesh.pre2005 = length < 83;
        if (mesh.pre2005) {
            console().line();
            console().line("Detected pre 2005-09-AF .2dm format.");
        }
    }

    console().line("...scanning .2dm file to determine size");
    std::int64_t nodes = 0, tri = mesh.ntri, quad4 = mesh.nquad4, quad9 = mesh.nquad9;
    std::string_view line;
    while (f.next_line(line)) {
        if (line.size() < 2 || (line[0] != 'N' && line[0] != 'E')) continue;
        if (line[1] == 'D' && line[0] == 'N') {
            ++nodes;
        } else if (line.size() >= 3 && line[0] == 'E') {
            if (starts(line, "E3T"))
                ++tri;
            else if (starts(line, "E4Q"))
                ++quad4;
            else if (starts(line, "E9Q"))
                ++quad9;
        }
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (nodes > kMax || tri + quad4 + quad9 > kMax)
        util::fail("ERROR - Too many nodes or elements in .2dm file " + f.name());
    mesh.nnodes = static_cast<std::int32_t>(nodes);
    mesh.ntri = static_cast<std::int32_t>(tri);
    mesh.nquad4 = static_cast<std::int32_t>(quad4);
    mesh.nquad9 = static_cast<std::int32_t>(quad9);
    mesh.ncells = static_cast<std::int32_t>(tri + quad4 + quad9);

    console().line();
    console().line("Finished Scanning .2dm file");
    console().line("Number of nodes:          " + util::integer_field(mesh.nnodes, 20));
    console().line("Number of triangles:      " + util::integer_field(mesh.ntri, 20));
    console().line("Number of 4-node quads:   " + util::integer_field(mesh.nquad4, 20));
    console().line("Number of 9-node quads:   " + util::integer_field(mesh.nquad9, 20));
    console().line("Total number of elements: " + util::integer_field(mesh.ncells, 20));
    if (mesh.nquad9 > 0) {
        mesh.high_res = true;
        console().line();
        console().line("Detected High Resolution Output");
        if (mesh.nquad4 > 0) {
            console().line();
            console().line("WARNING - Both 4 and 9 node quadrilateral elements detected.  This may cause issues");
            util::PAUSESIMULATION();
        }
    }
}

void READ2DM(int unit, MESH_TYPE& mesh) {
    KeepAll keep{mesh};
    read_mesh_lines(mesh_file(unit), mesh, keep);
}

void read_2dm_corners(int unit, MESH_TYPE& mesh, std::int32_t nnodes) {
    KeepCorners keep{mesh, nnodes};
    read_mesh_lines(mesh_file(unit), mesh, keep);
}

void READ2DMELEVATIONS(int unit, std::span<float> elevations, std::int32_t nnodes, std::span<std::int32_t> c1,
                       std::span<std::int32_t> c2, std::span<std::int32_t> c3, std::span<std::int32_t> c4,
                       std::int32_t ncells) {
    util::File& f = mesh_file(unit);
    console().line("...reading .2dm file");
    const std::int64_t node_room = std::min<std::int64_t>(std::max(nnodes, 0), static_cast<std::int64_t>(elevations.size()));
    const std::int64_t cell_room = std::min<std::int64_t>(
        {static_cast<std::int64_t>(std::max(ncells, 0)), static_cast<std::int64_t>(c1.size()),
         static_cast<std::int64_t>(c2.size()), static_cast<std::int64_t>(c3.size()), static_cast<std::int64_t>(c4.size())});
    for (std::span<std::int32_t> c : {c1, c2, c3, c4}) std::fill_n(c.begin(), cell_room, 0);
    std::fill_n(elevations.begin(), node_room, -99999.0f);

    std::string line;
    long long line_no = 0;
    std::int64_t nodes_read = 0;
    while (f.read_line(line)) {
        ++line_no;
        if (line.size() < 2) continue;
        if (line[0] == 'N' && line[1] == 'D') {
            Fields fl = fields_after(line, 2);
            std::int32_t id = 0;
            double x = 0.0, y = 0.0;
            float z = 0.0f;
            if (fl.integer(id) != Got::ok || fl.real(x) != Got::ok || fl.real(y) != Got::ok || fl.real(z) != Got::ok)
                read_error(f, line_no, line);
            if (id < 1 || id > node_room)
                range_error(f, line_no,
                            "ERROR - .2dm file is incompatible with .dat file whilst reading node elevations");
            elevations[static_cast<std::size_t>(id - 1)] = z;
            ++nodes_read;
        } else if (starts(line, "E3T") || starts(line, "E4Q")) {
            const int corners = line[1] - '0';
            Fields fl = fields_after(line, 3);
            std::int32_t id = 0;
            std::array<std::int32_t, 4> n{};
            if (fl.integer(id) != Got::ok) read_error(f, line_no, line);
            for (int i = 0; i < corners; ++i)
                if (fl.integer(n[static_cast<std::size_t>(i)]) != Got::ok) read_error(f, line_no, line);
            if (id < 1 || id > cell_room)
                range_error(f, line_no,
                            "ERROR - Element id " + std::to_string(id) +
                                " is not between 1 and the number of elements (" + std::to_string(cell_room) + ").");
            for (int i = 0; i < corners; ++i) check_node(f, line_no, id, n[static_cast<std::size_t>(i)], nnodes);
            const auto k = static_cast<std::size_t>(id - 1);
            c1[k] = n[0];
            if (corners == 4) {
                c4[k] = n[1];
                c3[k] = n[2];
                c2[k] = n[3];
            } else {
                c3[k] = n[1];
                c2[k] = n[2];
            }
        }
    }
    if (nodes_read != nnodes) {
        console().line();
        console().line("WARNING - Did not read an elevation for all nodes from .2dm file.");
        util::PAUSESIMULATION();
    }
}

}  // namespace zorvel::results
