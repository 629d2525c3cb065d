// The EnSight Gold geometry, log and variable files (layouts in ensight.hpp).

#include "results/ensight.hpp"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "results/res_ops.hpp"
#include "util/console.hpp"
#include "util/file_io.hpp"
#include "util/numbers.hpp"
#include "util/text.hpp"
#include "util/units.hpp"

namespace zorvel::results {

namespace {

using util::console;
using util::line_after_gap;

constexpr std::size_t kTextItem = 80;  // a text item of the binary geometry

// One kind of element block: its EnSight name, the mesh's element kind and the number of
// node numbers written per element.
struct Block {
    const char* name;
    std::int32_t kind;
    std::size_t nodes;
};
constexpr std::array<Block, 3> kBlocks{{{"tria3", 3, 3}, {"quad4", 4, 4}, {"quad8", 9, 8}}};

// Number of the mesh's elements of a block's kind.
std::int32_t count_of(const MESH_TYPE& mesh, const Block& b) {
    return b.kind == 3 ? mesh.ntri : b.kind == 4 ? mesh.nquad4 : mesh.nquad9;
}

// Ends the run after a failed write or close of the named file.
[[noreturn]] void write_failed(std::string_view name) {
    console().finish_line();
    util::fail_at_once("ERROR - Writing to \"" + std::string(name) + "\" failed.");
}

// A file that a writer opens itself, outside the file-unit pool, without the opener's
// trace: removed again unless it is closed whole.
class OwnOutput {
public:
    OwnOutput(std::string_view name, util::FileKind kind) : name_(name) {
        file_ = util::File::open(name, kind);
        if (!file_) util::fail("ERROR - Unable to open file for writing: \"" + name_ + "\"");
    }
    ~OwnOutput() {
        if (file_) file_->discard();
    }
    OwnOutput(const OwnOutput&) = delete;
    OwnOutput& operator=(const OwnOutput&) = delete;

    util::File& file() { return *file_; }
    // Closes the file; a failed write or close removes it and ends the run.
    void close() {
        if (!file_->close()) write_failed(name_);
        file_.reset();
    }

private:
    std::string name_;
    std::unique_ptr<util::File> file_;
};

// Text lines gathered into a block and handed to the file a block at a time.
class Lines {
public:
    explicit Lines(util::File& file) : file_(file) {}
    ~Lines() { flush(); }
    Lines(const Lines&) = delete;
    Lines& operator=(const Lines&) = delete;

    // Room for a line of at most n characters and its line end.
    char* room(std::size_t n) {
        if (buffer_.size() - used_ < n + 1) flush();
        return buffer_.data() + used_;
    }
    // Ends the line that room() began at end.
    void end_line(char* end) {
        *end++ = '\n';
        used_ = static_cast<std::size_t>(end - buffer_.data());
    }
    void text(std::string_view line) {
        char* p = room(line.size());
        std::memcpy(p, line.data(), line.size());
        end_line(p + line.size());
    }
    void integer(std::int64_t v) { end_line(util::put_integer_field(room(10), v, 10)); }
    void real(double v) { end_line(util::put_e_field(room(12), v, 12, 5)); }
    void reals(double a, double b) {
        char* p = room(24);
        end_line(util::put_e_field(util::put_e_field(p, a, 12, 5), b, 12, 5));
    }
    void flush() {
        if (used_ > 0) file_.write(buffer_.data(), used_);
        used_ = 0;
    }

private:
    util::File& file_;
    std::array<char, std::size_t{1} << 16> buffer_;
    std::size_t used_ = 0;
};

// The smallest and largest x, y and z of the nodes, stored into the mesh (the start values
// stay when it has no node).
void determine_extents(MESH_TYPE& mesh) {
    line_after_gap("Determining extents...");
    double xmin = 999999999.0, xmax = -999999999.0, ymin = 999999999.0, ymax = -999999999.0;
    float zmin = 1.0e9f, zmax = -1.0e9f;
    const std::size_t n = std::min(length_of(mesh.nnodes), mesh.NODES.size());
    for (std::size_t j = 0; j < n; ++j) {
        const mesh_node& nd = mesh.NODES[j];
        xmin = std::min(xmin, nd.x);
        xmax = std::max(xmax, nd.x);
        ymin = std::min(ymin, nd.y);
        ymax = std::max(ymax, nd.y);
        zmin = std::min(zmin, nd.z);
        zmax = std::max(zmax, nd.z);
    }
    mesh.xmin = xmin;
    mesh.xmax = xmax;
    mesh.ymin = ymin;
    mesh.ymax = ymax;
    mesh.zmin = zmin;
    mesh.zmax = zmax;
    console().line("Done.");
}

// The log of the coordinate shift beside a geometry file, opened and closed on a pool unit.
void write_log(const MESH_TYPE& mesh, std::string_view geometry_name) {
    line_after_gap("Opening Log File.");
    std::string name = std::string(geometry_name) + ".log";
    int unit = 0;
    util::OPENFILE(unit, "O ", name);
    line_after_gap("Outputting coordinate shift into log file.");
    char shift[16];
    util::unit_line(unit, "Conversion Log File.");
    util::unit_line(unit, "Shifted x coords by: " + std::string(shift, util::put_f_field(shift, mesh.xmin, 15, 5)));
    util::unit_line(unit, "Shifted y coords by: " + std::string(shift, util::put_f_field(shift, mesh.ymin, 15, 5)));
    util::unit_line(unit, "No Z shift applied.");
    util::CLOSER(unit);
    console().line("Done.");
}

// The node count of the mesh as a length, and its nodes.
std::size_t node_count(const MESH_TYPE& mesh) { return std::min(length_of(mesh.nnodes), mesh.NODES.size()); }

// The elements of the mesh that its element table holds.
std::size_t element_count(const MESH_TYPE& mesh) { return std::min(length_of(mesh.ncells), mesh.CELLS.size()); }

// The numbers (from 1) of the mesh's elements of one kind, in element order.
std::vector<std::int32_t> elements_of_kind(const MESH_TYPE& mesh, std::int32_t kind) {
    std::vector<std::int32_t> list;
    try {
        list.reserve(length_of(count_of(mesh, Block{"", kind, 0})));
    } catch (const std::bad_alloc&) {
        CHECK_ALLOC(1);
    }
    const std::size_t n = element_count(mesh);
    for (std::size_t e = 0; e < n; ++e)
        if (mesh.CELLS[e].kind == kind) list.push_back(static_cast<std::int32_t>(e + 1));
    return list;
}

// An 80-byte text item of the binary geometry.
void put_item(util::File& f, std::string_view text) {
    char item[kTextItem];
    std::memset(item, ' ', sizeof item);
    std::memcpy(item, text.data(), std::min(text.size(), sizeof item));
    f.write(item, sizeof item);
}

// 32-bit values of the binary geometry, gathered a block at a time: value(j) for j below n.
template <typename T, typename Value>
void put_run(util::File& f, std::size_t n, Value&& value) {
    constexpr std::size_t kBlock = 8192;
    T block[kBlock];
    for (std::size_t first = 0; first < n; first += kBlock) {
        const std::size_t count = std::min(kBlock, n - first);
        for (std::size_t k = 0; k < count; ++k) block[k] = value(first + k);
        f.write(block, count * sizeof(T));
    }
}

// The value of a node of the result (0 for a node beyond its table).
struct NodeValue {
    const RES_TYPE& res;
    float x(std::size_t j) const { return j < res.value.size() ? res.value[j] : 0.0f; }
    float y(std::size_t j) const { return j < res.y.size() ? res.y[j] : 0.0f; }
};

// True when element e (from 0) of the result is wet.
bool wet(const RES_TYPE& res, std::size_t e) { return e < res.CELL.size() && res.CELL[e].wet(); }

// The value of one element in a per-element layout: its own (finite-volume), the mean of its
// corners (a triangle or 4-node quadrilateral) or its centre node's (9-node quadrilateral);
// 0 when it is dry. component 0 is x (or the scalar), 1 is y.
float element_value(const MESH_TYPE& mesh, const RES_TYPE& res, std::size_t e, int component) {
    if (!wet(res, e)) return 0.0f;
    const NodeValue v{res};
    const auto at = [&](std::size_t j) { return component == 0 ? v.x(j) : v.y(j); };
    if (res.is_fv) return at(e);
    const mesh_cell& c = mesh.CELLS[e];
    const auto node = [&](std::size_t w) { return static_cast<std::size_t>(c.nodes[w] - 1); };
    if (c.kind == 3) return (at(node(0)) + at(node(1)) + at(node(2))) / 3.0f;
    if (c.kind == 4) return (at(node(0)) + at(node(1)) + at(node(2)) + at(node(3))) / 4.0f;
    return at(node(8));
}

// One block of a per-element variable file: the block's name and its runs of values.
void element_block(Lines& out, const MESH_TYPE& mesh, const RES_TYPE& res, const Block& b) {
    out.text(b.name);
    const std::size_t n = element_count(mesh);
    const int runs = res.is_vector ? 2 : 1;
    for (int component = 0; component < runs; ++component)
        for (std::size_t e = 0; e < n; ++e)
            if (mesh.CELLS[e].kind == b.kind) out.real(element_value(mesh, res, e, component));
    if (res.is_vector)
        for (std::int32_t k = 0; k < count_of(mesh, b); ++k) out.real(0.0);
}

// The per-node layout: each node's value where it is a corner of a wet element, else 0.
void node_values(Lines& out, const MESH_TYPE& mesh, const RES_TYPE& res) {
    static std::vector<char> wet_store;
    const std::size_t nn = node_count(mesh);
    const std::span<char> wet_node = work_array(wet_store, static_cast<std::int64_t>(nn));
    std::fill(wet_node.begin(), wet_node.end(), 0);
    const std::size_t ne = element_count(mesh);
    for (std::size_t e = 0; e < ne; ++e) {
        if (!wet(res, e)) continue;
        const mesh_cell& c = mesh.CELLS[e];
        const int corners = c.kind == 3 ? 3 : 4;
        for (int k = 0; k < corners; ++k) {
            const std::int32_t node = c.nodes[static_cast<std::size_t>(k)];
            if (node >= 1 && static_cast<std::size_t>(node) <= nn) wet_node[static_cast<std::size_t>(node - 1)] = 1;
        }
    }
    out.text("coordinates");
    const NodeValue v{res};
    for (std::size_t j = 0; j < nn; ++j) out.real(wet_node[j] ? v.x(j) : 0.0f);
    if (!res.is_vector) return;
    for (std::size_t j = 0; j < nn; ++j) out.real(wet_node[j] ? v.y(j) : 0.0f);
    for (std::size_t j = 0; j < nn; ++j) out.real(0.0);
}

// Ends the run when the result does not hold a value for every node (every element of a
// finite-volume result) and a flag for every element of the mesh.
void check_fits(const MESH_TYPE& mesh, const RES_TYPE& res, std::string_view name) {
    const std::size_t values = res.is_fv ? element_count(mesh) : node_count(mesh);
    if (res.value.size() >= values && res.y.size() >= values && res.CELL.size() >= element_count(mesh) &&
        node_count(mesh) == length_of(mesh.nnodes) && element_count(mesh) == length_of(mesh.ncells))
        return;
    util::fail("ERROR - The results do not fit the mesh for EnSight output: \"" + std::string(name) + "\"");
}

}  // namespace

bool ensight_per_element(const MESH_TYPE& mesh, const RES_TYPE& res) { return res.is_fv || mesh.high_res; }

void too_many_ensight_steps() { util::fail("ERROR - Maximum of 10,000 outputs per ensight dataset."); }

std::string ENSIGHTFILENAME(std::string_view base, std::int32_t n) {
    if (n > kMaxEnsightSteps) too_many_ensight_steps();
    const char* suffix = n < 10 ? ".000" : n < 100 ? ".00" : n < 1000 ? ".0" : ".";
    const std::string name = util::trimmed(base.substr(0, util::kNameLen));
    const std::size_t folder = name.find_last_of("/\\") + 1;  // 0 without a folder
    return name.substr(0, folder) + ensight_name(std::string_view(name).substr(folder)) + suffix +
           util::AINTEGER(n);
}

std::string ensight_name(std::string_view name) {
    std::string safe(name);
    for (char& c : safe) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7f || std::string_view("\"*?\\:<>|").find(c) != std::string_view::npos) c = '_';
    }
    return safe;
}

void ENSIGHTGEOTEXT(MESH_TYPE& mesh, std::string_view name) {
    line_after_gap("Creating Ensight Gold Geometry File: " + std::string(name));
    std::string file_name(name);
    int unit = 0;
    util::OPENFILE(unit, "O ", file_name);
    util::File* f = util::unit_file(unit);
    if (f == nullptr) util::fail("ERROR - Unable to open file for writing: \"" + file_name + "\"");
    {
        Lines out(*f);
        out.text(mesh.is_fv ? "Converted from KESTRA FV .2dm file." : "Converted from KESTRA .2dm file.");
        if (mesh.is_fv)
            out.text(mesh.high_res ? "Cell Centred Output (output == dat)" : "Cell Cornered Output (output == datv)");
        else
            out.text(mesh.high_res ? "High Resolution Output" : "Standard Resolution Output");
        out.text("node id given");
        out.text("element id given");
        out.text("extents");
        determine_extents(mesh);
        out.reals(0.0, mesh.xmax - mesh.xmin);
        out.reals(0.0, mesh.ymax - mesh.ymin);
        out.reals(mesh.zmin, mesh.zmax);
        write_log(mesh, name);

        line_after_gap("Writing coordinates...");
        out.text("part");
        out.integer(1);
        out.text("2D KESTRA Elements");
        out.text("coordinates");
        out.integer(mesh.nnodes);
        const std::size_t nn = node_count(mesh);
        for (std::size_t j = 0; j < nn; ++j) out.integer(static_cast<std::int64_t>(j + 1));
        for (std::size_t j = 0; j < nn; ++j) out.real(mesh.NODES[j].x - mesh.xmin);
        for (std::size_t j = 0; j < nn; ++j) out.real(mesh.NODES[j].y - mesh.ymin);
        for (std::size_t j = 0; j < nn; ++j) out.real(mesh.NODES[j].z);
        console().line("Done.");

        static constexpr const char* kStart[] = {"Writing triangles (tria3)...",
                                                 "Writing four node quadrilaterals (quad4)...",
                                                 "Writing eight node quadrilaterals (quad8)..."};
        static constexpr const char* kDone[] = {"Done writing triangles", "Done writing quad4",
                                                "Done writing quad8"};
        const std::size_t ne = element_count(mesh);
        for (std::size_t k = 0; k < kBlocks.size(); ++k) {
            const Block& b = kBlocks[k];
            if (count_of(mesh, b) <= 0) continue;
            line_after_gap(kStart[k]);
            out.text(b.name);
            out.integer(count_of(mesh, b));
            for (std::size_t e = 0; e < ne; ++e)
                if (mesh.CELLS[e].kind == b.kind) out.integer(static_cast<std::int64_t>(e + 1));
            for (std::size_t e = 0; e < ne; ++e) {
                const mesh_cell& c = mesh.CELLS[e];
                if (c.kind != b.kind) continue;
                char* p = out.room(10 * b.nodes);
                for (std::size_t w = 0; w < b.nodes; ++w) p = util::put_integer_field(p, c.nodes[w], 10);
                out.end_line(p);
            }
            console().line(kDone[k]);
        }
    }
    util::CLOSER(unit);
}

void ENSIGHTGEOBINARY(MESH_TYPE& mesh, std::string_view name) {
    line_after_gap("Creating Ensight Gold Geometry File (Binary): " + std::string(name));
    OwnOutput own(name, util::FileKind::bytes_out);
    util::File& f = own.file();
    put_item(f, "C Binary");
    put_item(f, "Converted from KESTRA output");
    put_item(f, mesh.high_res ? "High Resolution Output" : "Standard Resolution Output");
    put_item(f, "node id given");
    put_item(f, "element id given");
    put_item(f, "extents");
    determine_extents(mesh);
    const float extents[6] = {0.0f, static_cast<float>(mesh.xmax - mesh.xmin), 0.0f,
                              static_cast<float>(mesh.ymax - mesh.ymin), mesh.zmin, mesh.zmax};
    f.write(extents, sizeof extents);
    write_log(mesh, name);
    console().line();

    line_after_gap("Writing coordinates...");
    put_item(f, "part");
    const std::int32_t part = 1;
    f.write(&part, sizeof part);
    put_item(f, "KESTRA");
    put_item(f, "coordinates");
    f.write(&mesh.nnodes, sizeof mesh.nnodes);
    const std::size_t nn = node_count(mesh);
    const std::vector<mesh_node>& nodes = mesh.NODES;
    put_run<std::int32_t>(f, nn, [](std::size_t j) { return static_cast<std::int32_t>(j + 1); });
    put_run<float>(f, nn, [&](std::size_t j) { return static_cast<float>(nodes[j].x - mesh.xmin); });
    put_run<float>(f, nn, [&](std::size_t j) { return static_cast<float>(nodes[j].y - mesh.ymin); });
    put_run<float>(f, nn, [&](std::size_t j) { return nodes[j].z; });
    console().line("Done.");
    console().line();

    static constexpr const char* kFilter[] = {"Filtering triangles from mesh...",
                                              "Filtering four node quads from the mesh...",
                                              "Filtering nine node quads from the mesh..."};
    static constexpr const char* kStart[] = {"Writing triangles (tria3)...", "Writing quads (quad4)...",
                                             "Writing quads (quad8)..."};
    static constexpr const char* kDone[] = {"Done writing triangles.", "Done writing quads.",
                                            "Done writing quads."};
    for (std::size_t k = 0; k < kBlocks.size(); ++k) {
        const Block& b = kBlocks[k];
        if (count_of(mesh, b) <= 0) continue;
        line_after_gap(kFilter[k]);
        const std::vector<std::int32_t> list = elements_of_kind(mesh, b.kind);
        console().line("Done.");
        console().line();
        line_after_gap(kStart[k]);
        put_item(f, b.name);
        const auto count = static_cast<std::int32_t>(list.size());
        f.write(&count, sizeof count);
        f.write(list.data(), list.size() * sizeof(std::int32_t));
        put_run<std::int32_t>(f, list.size() * b.nodes, [&](std::size_t k2) {
            const mesh_cell& c = mesh.CELLS[static_cast<std::size_t>(list[k2 / b.nodes] - 1)];
            return c.nodes[k2 % b.nodes];
        });
        console().line(kDone[k]);
        console().line();
    }
    own.close();
}

void ENSIGHTVARIABLE(const MESH_TYPE& mesh, const RES_TYPE& res, std::string_view name,
                     std::string_view description) {
    line_after_gap("Opening outfile: " + std::string(name));
    check_fits(mesh, res, name);
    OwnOutput own(name, util::FileKind::text_out);
    {
        Lines out(own.file());
        std::string first = util::fit(description, kEnsightDescriptionLen);
        first.resize(kEnsightDescriptionLen, ' ');
        out.text(first);
        out.text("part");
        out.integer(1);
        const Block& tria3 = kBlocks[0];
        const Block& quad4 = kBlocks[1];
        const Block& quad8 = kBlocks[2];
        if (res.is_fv) {
            if (mesh.ntri > 0) {
                line_after_gap("Writing triangles (tria3)...");
                element_block(out, mesh, res, tria3);
                console().line("Done writing triangles.");
                console().line();
            }
            if (mesh.nquad4 > 0) {
                line_after_gap("Writing quads (quad4)...");
                element_block(out, mesh, res, quad4);
            }
            if (mesh.nquad9 > 0) {
                line_after_gap("Writing quads (quad8)...");
                element_block(out, mesh, res, quad8);
            }
            console().line("Done writing quads.");
            console().line();
        } else if (mesh.high_res) {
            for (const Block* b : {&tria3, &quad4, &quad8}) {
                if (count_of(mesh, *b) <= 0) continue;
                line_after_gap(b == &tria3 ? "Writing triangles (tria3)..."
                                           : b == &quad4 ? "Writing quads (quad4)..." : "Writing quads (quad8)...");
                element_block(out, mesh, res, *b);
                console().line(b == &tria3 ? "Done writing triangles." : "Done writing quads.");
                console().line();
            }
        } else {
            line_after_gap("Writing per node dataset...");
            node_values(out, mesh, res);
            console().line("Done.");
            console().line();
        }
    }
    own.close();
    console().line("Closing outfile: " + std::string(name));
    console().line();
}

}  // namespace zorvel::results
