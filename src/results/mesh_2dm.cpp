#include "results/mesh_2dm.hpp"

#include "results/mesh_fields.hpp"
#include "results/mesh_lines.hpp"

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

using mesh_text::Fields;
using mesh_text::Got;

// The fields of a line after its keyword of n characters.
Fields fields_after(std::string_view line, std::size_t n) { return Fields(line.substr(std::min(n, line.size()))); }

// True when the line begins with the keyword, compared exactly.
bool starts(std::string_view line, std::string_view key) { return line.substr(0, key.size()) == key; }

// The lines the mesh reader acts on; every other line is ignored.
enum class LineKind { other, node, triangle, quad4, quad9, part };

// The kind of a line, by its first characters compared exactly.
inline LineKind kind_of(std::string_view line) {
    if (line.size() < 2) return LineKind::other;
    if (line[0] == 'N') return line[1] == 'D' ? LineKind::node : LineKind::other;
    if (line[0] == 'E') {
        if (line.size() < 3) return LineKind::other;
        const char a = line[1], b = line[2];
        if (a == '3' && b == 'T') return LineKind::triangle;
        if (a == '4' && b == 'Q') return LineKind::quad4;
        if (a == '9' && b == 'Q') return LineKind::quad9;
        return LineKind::other;
    }
    return line[0] == 'M' && starts(line, "MESHPART") ? LineKind::part : LineKind::other;
}

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

// Ends the run on an element that names a node outside the nodes.
[[noreturn]] void node_error(const util::File& f, long long line_no, std::int64_t element, std::int64_t node,
                             std::int64_t nnodes) {
    range_error(f, line_no,
                "ERROR - Element " + std::to_string(element) + " names node " + std::to_string(node) +
                    ", which is not between 1 and the number of nodes (" + std::to_string(nnodes) + ").");
}

// Checks that a node number lies within the nodes.
void check_node(const util::File& f, long long line_no, std::int32_t element, std::int32_t node,
                std::int64_t nnodes) {
    if (node < 1 || node > nnodes) node_error(f, line_no, element, node, nnodes);
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

// Stores the code of a current triangle line from its word (quotes around it removed).
void store_code(std::string_view w, mesh_cell& cell) {
    if (w.size() >= 2 && (w[0] == '"' || w[0] == '\'') && w.back() == w[0]) w = w.substr(1, w.size() - 2);
    cell.code = {w.size() > 0 ? w[0] : ' ', w.size() > 1 ? w[1] : ' '};
}

// Stores the kind and the node numbers n of an element line in the stored order.
void store_nodes(int shape, const std::int32_t* n, mesh_cell& cell) {
    cell.kind = shape;
    if (shape == 3)
        cell.nodes = {n[0], n[2], n[1], 0, 0, 0, 0, 0, 0};
    else if (shape == 4)
        cell.nodes = {n[0], n[3], n[2], n[1], 0, 0, 0, 0, 0};
    else
        cell.nodes = {n[0], n[2], n[4], n[6], n[1], n[3], n[5], n[7], n[8]};
}

// The number of integer fields of an element line of the shape (3, 4 or 9) in the layout.
int element_integers(int shape, Layout layout) {
    if (shape == 9) return 14;
    return 2 + shape + (layout == Layout::fv ? 0 : 2) + (layout == Layout::current ? 1 : 0);
}

// Reads the fields of one element line after its keyword into a fresh element record.
bool read_element(Fields& f, int shape, Layout layout, std::int32_t& id, mesh_cell& cell) {
    std::array<std::int32_t, 9> n{};
    if (f.integer(id) != Got::ok) return false;
    for (int i = 0; i < shape; ++i)
        if (f.integer(n[static_cast<std::size_t>(i)]) != Got::ok) return false;
    if (f.integer(cell.material) != Got::ok) return false;
    if (layout != Layout::fv) {
        if (f.integer(cell.extra[0]) != Got::ok || f.integer(cell.extra[1]) != Got::ok) return false;
        if (layout == Layout::current) {
            if (f.integer(cell.flag) != Got::ok) return false;
            if (shape == 3) {
                std::string_view w;
                if (f.word(w) != Got::ok) return false;
                store_code(w, cell);
            }
        }
    }
    store_nodes(shape, n.data(), cell);
    return true;
}

// Reads an element line after its keyword by the fast reader, as read_element reads it;
// false when the line is for the general reader.
bool fast_element(std::string_view text, int shape, Layout layout, std::int32_t& id, mesh_cell& cell) {
    std::int32_t v[16];
    std::string_view code;
    const int count = element_integers(shape, layout);
    const bool word = layout == Layout::current && shape == 3;
    if (!mesh_lines::element_read(text, count, word, v, code)) return false;
    const int after = 1 + shape;  // the fields after the nodes
    if (layout == Layout::current && v[count - 1] > std::numeric_limits<std::int8_t>::max()) return false;
    id = v[0];
    cell.material = v[after];
    if (layout != Layout::fv) cell.extra = {v[after + 1], v[after + 2]};
    if (layout == Layout::current) cell.flag = static_cast<std::int8_t>(v[after + 3]);
    if (word) store_code(code, cell);
    store_nodes(shape, v + 1, cell);
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
    store_nodes(9, n.data(), cell);
    return true;
}

// Marks a node (numbered from 1) with its kind.
void set_kind(MESH_TYPE& mesh, std::int32_t node, const char (&kind)[3]) {
    mesh.NODES[static_cast<std::size_t>(node - 1)].kind = {kind[0], kind[1]};
}

// What READ2DM keeps of the lines it reads: every node and element, and the node kinds.
struct KeepAll {
    MESH_TYPE& mesh;

    static constexpr bool kNodes = true;
    std::int64_t node_table() const { return static_cast<std::int64_t>(mesh.NODES.size()); }
    std::int64_t cell_table() const { return static_cast<std::int64_t>(mesh.CELLS.size()); }
    void node(std::int32_t id, mesh_node& node) {
        mesh_node& slot = mesh.NODES[static_cast<std::size_t>(id - 1)];
        node.kind = slot.kind;
        node.z2 = slot.z2;
        slot = node;
    }
    // Stores the element; while the element lines come in the order of their ids, the
    // kinds of its nodes are given at once, as the pass over the elements would give them.
    void cell(std::int32_t id, const mesh_cell& cell) {
        mesh.CELLS[static_cast<std::size_t>(id - 1)] = cell;
        in_order = in_order && id > last_id;
        last_id = id;
        if (in_order) mark(cell);
    }
    // Gives every node the kind of the last element (in element order) that uses it.
    void kinds(bool fv) {
        if (fv) {
            for (mesh_node& n : mesh.NODES) n.kind = {'F', 'V'};
            return;
        }
        if (in_order) return;
        for (const mesh_cell& c : mesh.CELLS) mark(c);
    }
    // Gives the element's nodes the kind they have in it.
    void mark(const mesh_cell& c) {
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

    std::int32_t last_id = 0;  // the id of the last element line
    bool in_order = true;      // every element line so far came after those of lower ids
};

// What read_2dm_corners keeps: the corners of each element alone; the node lines are read
// and checked but their values are not kept, and the results give the number of nodes the
// mesh must have.
struct KeepCorners {
    MESH_TYPE& mesh;
    std::int32_t nodes;

    static constexpr bool kNodes = false;
    std::int64_t node_table() const { return nodes; }
    std::int64_t cell_table() const { return static_cast<std::int64_t>(mesh.corners.size()); }
    void node(std::int32_t, mesh_node&) {}
    void cell(std::int32_t id, const mesh_cell& cell) {
        mesh.corners[static_cast<std::size_t>(id - 1)] = {cell.nodes[0], cell.nodes[1], cell.nodes[2], cell.nodes[3]};
    }
    void kinds(bool) {}
};

// A line of READ2DM's pass that ends the run: what is wrong, and where.
struct Fault {
    enum class Kind { none, unreadable, node_id, element_id, element_node, nine_quad };
    Kind kind = Kind::none;
    long long line_no = 0;
    std::int64_t id = 0;    // the node or element id of the line
    std::int64_t node = 0;  // element_node: the node named
    std::string line;       // unreadable: the line
};

// Writes the message of a fault and ends the run; nnodes and ncells are the mesh's counts.
[[noreturn]] void report(const util::File& f, const Fault& fault, std::int64_t nnodes, std::int64_t ncells) {
    switch (fault.kind) {
    case Fault::Kind::unreadable:
        read_error(f, fault.line_no, fault.line);
    case Fault::Kind::node_id:
        range_error(f, fault.line_no,
                    "ERROR - Node id " + std::to_string(fault.id) + " is not between 1 and the number of nodes (" +
                        std::to_string(nnodes) + ").");
    case Fault::Kind::element_id:
        range_error(f, fault.line_no,
                    "ERROR - Element id " + std::to_string(fault.id) +
                        " is not between 1 and the number of elements (" + std::to_string(ncells) + ").");
    case Fault::Kind::element_node:
        node_error(f, fault.line_no, fault.id, fault.node, nnodes);
    case Fault::Kind::nine_quad:
        console().line();
        console().line("ERROR - Unexpected 9 point quad in FV or pre 2005 mesh.");
        where(f.name(), fault.line_no);
        util::EXITS();
    case Fault::Kind::none:
        break;
    }
    util::fail("ERROR - Reading .2dm file " + f.name());
}

// READ2DM's work on the lines of a mesh, one line at a time: it reads node, element and
// part lines into what keep keeps and counts them; a line that would end the run is
// described and refused, and the caller decides when to report it. Node and element ids
// are checked against the tables, which READ2DM has checked against the counts first.
template <typename Keep>
class LineReader {
public:
    LineReader(MESH_TYPE& mesh, Keep& keep)
        : mesh_(mesh), keep_(keep), layout_(layout_of(mesh)), nnodes_(keep.node_table()),
          ncells_(keep.cell_table()), filled_(static_cast<std::size_t>(ncells_)) {}

    // Takes the line of the kind; false, with the fault described, when it ends the run.
    bool take(LineKind kind, std::string_view line, long long line_no, Fault& fault) {
        switch (kind) {
        case LineKind::node:
            return node_line(line, line_no, fault);
        case LineKind::triangle:
        case LineKind::quad4:
        case LineKind::quad9:
            return element_line(line, line_no, fault);
        case LineKind::part: {
            Fields fl = fields_after(line, 9);
            std::string name = util::fit(fl.text(), kPartNameLen);
            ++mesh_.nparts;
            const auto k = static_cast<std::size_t>(mesh_.nparts);
            if (mesh_.part_names.size() < k) mesh_.part_names.resize(k);
            mesh_.part_names[k - 1] = std::move(name);
            return true;
        }
        case LineKind::other:
            break;
        }
        return true;
    }

    std::int64_t nodes_read() const { return nodes_read_; }
    std::int64_t cells_read() const { return cells_read_; }
    // The element lines read whole, each stored.
    std::int64_t cells_stored() const { return cells_stored_; }

    // The first element that no line filled, or 0.
    std::int64_t first_unfilled() const {
        for (std::int64_t e = 0; e < ncells_; ++e)
            if (!filled_[static_cast<std::size_t>(e)]) return e + 1;
        return 0;
    }

private:
    // A node line: its fields in the layout's number, the id within the nodes.
    bool node_line(std::string_view line, long long line_no, Fault& fault) {
        std::int32_t id = 0;
        mesh_node node;
        const int fields = layout_ == Layout::current ? 8 : 4;
        bool ok;
        if constexpr (Keep::kNodes) {
            Fields fl = fields_after(line, 2);
            ok = fl.integer(id) == Got::ok && fl.real(node.x) == Got::ok && fl.real(node.y) == Got::ok &&
                 fl.real(node.z) == Got::ok;
            if (ok && fields == 8) {
                ok = fl.integer(node.offset_flag) == Got::ok && fl.real(node.extra[0]) == Got::ok &&
                     fl.real(node.extra[1]) == Got::ok && fl.real(node.extra[2]) == Got::ok;
                if (node.offset_flag == 1) node.z -= mesh_.z_offset;
            }
        } else {
            // The values are not kept: only whether the fields can be read is.
            ok = fast_ && mesh_lines::node_checked(line.substr(2), fields, id, node.offset_flag);
            if (!ok) {
                Fields fl = fields_after(line, 2);
                ok = fl.integer(id) == Got::ok && fl.template real_read<double>() && fl.template real_read<double>() &&
                     fl.template real_read<float>();
                if (ok && fields == 8)
                    ok = fl.integer(node.offset_flag) == Got::ok && fl.template real_read<float>() &&
                         fl.template real_read<float>() && fl.template real_read<float>();
            }
        }
        if (!ok) return refuse(fault, Fault::Kind::unreadable, line_no, 0, 0, line);
        if (id < 1 || id > nnodes_) return refuse(fault, Fault::Kind::node_id, line_no, id, 0, {});
        keep_.node(id, node);
        ++nodes_read_;
        return true;
    }

    // An element line: its fields in the layout's number, the id within the elements and
    // every node it names within the nodes.
    bool element_line(std::string_view line, long long line_no, Fault& fault) {
        ++cells_read_;
        const char shape = line[1];
        if (shape == '9' && layout_ != Layout::current) return refuse(fault, Fault::Kind::nine_quad, line_no, 0, 0, {});
        std::int32_t id = 0;
        mesh_cell cell;
        bool ok = fast_ && fast_element(line.substr(3), shape - '0', layout_, id, cell);
        if (!ok) {
            Fields fl = fields_after(line, 3);
            ok = shape == '9' ? read_quad9(fl, id, cell) : read_element(fl, shape - '0', layout_, id, cell);
        }
        if (!ok) return refuse(fault, Fault::Kind::unreadable, line_no, 0, 0, line);
        if (id < 1 || id > ncells_) return refuse(fault, Fault::Kind::element_id, line_no, id, 0, {});
        for (int i = 0; i < cell.kind; ++i) {
            const std::int32_t n = cell.nodes[static_cast<std::size_t>(i)];
            if (n < 1 || n > nnodes_) return refuse(fault, Fault::Kind::element_node, line_no, id, n, {});
        }
        keep_.cell(id, cell);
        filled_[static_cast<std::size_t>(id - 1)] = true;
        ++cells_stored_;
        return true;
    }

    // Describes the fault of a line; false.
    static bool refuse(Fault& fault, Fault::Kind kind, long long line_no, std::int64_t id, std::int64_t node,
                       std::string_view line) {
        fault.kind = kind;
        fault.line_no = line_no;
        fault.id = id;
        fault.node = node;
        fault.line = std::string(line);
        return false;
    }

    MESH_TYPE& mesh_;
    Keep& keep_;
    Layout layout_;
    bool fast_ = mesh_lines::available();
    std::int64_t nnodes_;
    std::int64_t ncells_;
    std::vector<bool> filled_;  // which elements a line has filled; the tables come zeroed
    std::int64_t nodes_read_ = 0;
    std::int64_t cells_read_ = 0;
    std::int64_t cells_stored_ = 0;
};

// The element counts on the "Element:" line, every 10,000 elements up to the given count.
void progress(std::int64_t from, std::int64_t to) {
    for (std::int64_t k = (from / 10000 + 1) * 10000; k <= to; k += 10000) console().write(util::integer_field(k, 8));
}

// READ2DM up to its first line: the tables must fit the counts; the file goes back to its
// start.
template <typename Keep>
void read_start(util::File& f, const MESH_TYPE& mesh, const Keep& keep) {
    // Nothing is stored unless the mesh fits the tables made for its results.
    check_count(f, "cells", keep.cell_table(), mesh.ncells);
    check_count(f, "nodes", keep.node_table(), mesh.nnodes);
    console().line("Rewinding .2dm file...");
    if (!f.rewind()) util::fail("ERROR - Unable to rewind .2dm file " + f.name());
    console().line("   Done.");
    console().line();
    console().line("...reading .2dm file");
    console().line();
    console().write("Element:");
}

// READ2DM after its last line: the counts of the lines read, every element filled, the
// node kinds.
template <typename Keep>
void read_end(const util::File& f, const MESH_TYPE& mesh, Keep& keep, const LineReader<Keep>& reader) {
    console().line();
    console().line();
    console().line();
    console().line("Finished Reading .2dm file");
    const std::int64_t nnodes = mesh.nnodes;
    const std::int64_t ncells = mesh.ncells;
    if (reader.cells_read() != ncells) {
        console().line();
        console().line("ERROR - Number of cells does not match results file. Expecting number of cells: " +
                       util::integer_field(ncells, 12));
        console().line("   .2dm file: " + f.name() + " has " + std::to_string(reader.cells_read()) + " element lines.");
        util::EXITS();
    }
    if (reader.nodes_read() != nnodes) {
        console().line();
        console().line("ERROR - Number of nodes does not match results file. Expecting number of nodes: " +
                       util::integer_field(nnodes, 12));
        console().line("   .2dm file: " + f.name() + " has " + std::to_string(reader.nodes_read()) + " node lines.");
        util::EXITS();
    }
    // An element that no line filled cannot be used and ends the run.
    if (const std::int64_t e = reader.first_unfilled()) {
        console().line();
        console().line("ERROR - Should not be here, cell is not e3t, e4q or e9q.  Contact " +
                       std::string(util::kSupportAddress) + ".");
        console().line("   .2dm file: " + f.name() + " has no element line for element " + std::to_string(e) + ".");
        util::EXITS();
    }
    keep.kinds(layout_of(mesh) == Layout::fv);
}

// READ2DM's pass over the file, keeping what keep keeps: the lines, checks and ends are
// the same whatever is kept.
template <typename Keep>
void read_mesh_lines(util::File& f, MESH_TYPE& mesh, Keep& keep) {
    read_start(f, mesh, keep);
    LineReader<Keep> reader(mesh, keep);
    Fault fault;
    std::string_view line;
    long long line_no = 0;
    while (f.next_line(line)) {
        const std::int64_t before = reader.cells_stored();
        if (!reader.take(kind_of(line), line, ++line_no, fault)) report(f, fault, mesh.nnodes, mesh.ncells);
        const std::int64_t stored = reader.cells_stored();
        if (stored != before && stored % 10000 == 0) progress(before, stored);
    }
    read_end(f, mesh, keep, reader);
}

// The element and node lines counted by SCAN2DM.
struct Counts {
    std::int64_t nodes = 0, tri = 0, quad4 = 0, quad9 = 0;

    // Counts a node or an element line.
    void count(LineKind kind) {
        nodes += kind == LineKind::node;
        tri += kind == LineKind::triangle;
        quad4 += kind == LineKind::quad4;
        quad9 += kind == LineKind::quad9;
    }
};

// SCAN2DM up to its count of the lines: the first line's keyword, layout and
// geo-referencing values.
void scan_start(util::File& f, MESH_TYPE& mesh) {
    mesh.high_res = false;
    mesh.is_fv = false;
    std::string_view first;
    if (!f.next_line(first)) first = {};
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
}

// SCAN2DM after its count of the lines: the counts, and what they tell.
void scan_end(const util::File& f, MESH_TYPE& mesh, const Counts& c) {
    const std::int64_t tri = mesh.ntri + c.tri, quad4 = mesh.nquad4 + c.quad4, quad9 = mesh.nquad9 + c.quad9;
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    if (c.nodes > kMax || tri + quad4 + quad9 > kMax)
        util::fail("ERROR - Too many nodes or elements in .2dm file " + f.name());
    mesh.nnodes = static_cast<std::int32_t>(c.nodes);
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

// SCAN2DM and READ2DM in one pass over the file. Each line is counted as SCAN2DM counts it
// and read as READ2DM reads it, into the tables the caller has made; what the two would
// write, and the ends they would come to, follow after the pass in their order: SCAN2DM's
// lines, READ2DM's checks of the counts and its rewind, its progress up to the first line
// that ends the run (the lines after it are only counted), and that line's end.
template <typename Keep>
void scan_and_read(util::File& f, MESH_TYPE& mesh, Keep& keep) {
    scan_start(f, mesh);
    LineReader<Keep> reader(mesh, keep);
    Counts counts;
    Fault fault;
    std::string_view line;
    long long line_no = 1;
    while (f.next_line(line)) {
        const LineKind kind = kind_of(line);
        counts.count(kind);
        ++line_no;
        if (fault.kind == Fault::Kind::none) reader.take(kind, line, line_no, fault);
    }
    scan_end(f, mesh, counts);
    read_start(f, mesh, keep);
    progress(0, reader.cells_stored());
    if (fault.kind != Fault::Kind::none) report(f, fault, mesh.nnodes, mesh.ncells);
    read_end(f, mesh, keep, reader);
}

}  // namespace

void SCAN2DM(int unit, MESH_TYPE& mesh) {
    util::File& f = mesh_file(unit);
    scan_start(f, mesh);
    Counts counts;
    std::string_view line;
    while (f.next_line(line)) counts.count(kind_of(line));
    scan_end(f, mesh, counts);
}

void READ2DM(int unit, MESH_TYPE& mesh) {
    KeepAll keep{mesh};
    read_mesh_lines(mesh_file(unit), mesh, keep);
}

void read_2dm_corners(int unit, MESH_TYPE& mesh, std::int32_t nnodes) {
    KeepCorners keep{mesh, nnodes};
    read_mesh_lines(mesh_file(unit), mesh, keep);
}

void scan_read_2dm(int unit, MESH_TYPE& mesh) {
    KeepAll keep{mesh};
    scan_and_read(mesh_file(unit), mesh, keep);
}

void scan_read_2dm_corners(int unit, MESH_TYPE& mesh, std::int32_t nnodes) {
    KeepCorners keep{mesh, nnodes};
    scan_and_read(mesh_file(unit), mesh, keep);
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

    std::string_view line;
    long long line_no = 0;
    std::int64_t nodes_read = 0;
    while (f.next_line(line)) {
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
