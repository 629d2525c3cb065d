// The mesh reader's one pass (scan_read_2dm, scan_read_2dm_corners) against its two passes
// (SCAN2DM, then READ2DM or read_2dm_corners): the same console text, ends and stored
// values, on the test meshes, on meshes that end the run at every kind of fault, and on a
// generated mesh whose numbers take every form a free-format read takes, its values worked
// out here with std::from_chars.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "results/mesh_2dm.hpp"
#include "util/console.hpp"
#include "util/run_end.hpp"
#include "util/units.hpp"

namespace zorvel::results {
namespace {

namespace fs = std::filesystem;

// A file of the test's own, removed at the end of the test.
class TempFile {
public:
    TempFile(const std::string& name, const std::string& text)
        : path_(fs::temp_directory_path() / (name + "_" + std::to_string(::getpid()) + ".2dm")) {
        std::ofstream(path_, std::ios::binary) << text;
    }
    ~TempFile() { fs::remove(path_); }
    std::string path() const { return path_.string(); }

private:
    fs::path path_;
};

// What a read of a mesh wrote and kept, and whether it ended the run.
struct Read {
    std::string text;
    bool ended = false;
    MESH_TYPE mesh;
};

// Reads the mesh with tables of the given sizes, in one pass or two, for every node and
// element or for the corners alone. The console answers every pause with Enter.
Read read(const std::string& path, std::size_t nodes, std::size_t cells, bool one_pass, bool corners) {
    Read r;
    std::ostringstream out;
    std::istringstream in(std::string(8, '\n'));
    util::ConsoleCapture cap(out, in);
    util::FILEUNITINIT(1000);
    util::PoolEntry& e = util::unit_tables().pool[0];
    e.file = util::File::open(path, util::FileKind::text_in);
    e.open = e.file != nullptr;
    if (corners) {
        r.mesh.corners.assign(cells, {});
    } else {
        r.mesh.NODES.assign(nodes, mesh_node{});
        r.mesh.CELLS.assign(cells, mesh_cell{});
        r.mesh.part_names.assign(1, std::string());
    }
    try {
        const auto n = static_cast<std::int32_t>(nodes);
        if (one_pass) {
            corners ? scan_read_2dm_corners(e.unit, r.mesh, n) : scan_read_2dm(e.unit, r.mesh);
        } else {
            SCAN2DM(e.unit, r.mesh);
            corners ? read_2dm_corners(e.unit, r.mesh, n) : READ2DM(e.unit, r.mesh);
        }
    } catch (const util::RunEnd&) {
        r.ended = true;
    }
    util::FILEUNITINIT(1000);
    r.text = out.str();
    return r;
}

// The counts of node and element lines of a mesh file, by SCAN2DM.
std::pair<std::size_t, std::size_t> counts(const std::string& path) {
    const Read r = read(path, 0, 0, false, true);
    return {static_cast<std::size_t>(r.mesh.nnodes), static_cast<std::size_t>(r.mesh.ncells)};
}

// Bit for bit, node by node and element by element.
void expect_same_tables(const MESH_TYPE& a, const MESH_TYPE& b) {
    ASSERT_EQ(a.NODES.size(), b.NODES.size());
    for (std::size_t i = 0; i < a.NODES.size(); ++i) {
        const mesh_node &p = a.NODES[i], &q = b.NODES[i];
        using Bits3 = std::array<std::uint32_t, 3>;
        const bool same = std::bit_cast<std::uint64_t>(p.x) == std::bit_cast<std::uint64_t>(q.x) &&
                          std::bit_cast<std::uint64_t>(p.y) == std::bit_cast<std::uint64_t>(q.y) &&
                          std::bit_cast<std::uint32_t>(p.z) == std::bit_cast<std::uint32_t>(q.z) && p.kind == q.kind &&
                          p.offset_flag == q.offset_flag &&
                          std::bit_cast<Bits3>(p.extra) == std::bit_cast<Bits3>(q.extra);
        EXPECT_TRUE(same) << "node " << i + 1 << ": " << p.x << " " << q.x << ", " << p.y << " " << q.y << ", " << p.z
                          << " " << q.z;
    }
    ASSERT_EQ(a.CELLS.size(), b.CELLS.size());
    for (std::size_t i = 0; i < a.CELLS.size(); ++i) {
        const mesh_cell &p = a.CELLS[i], &q = b.CELLS[i];
        EXPECT_TRUE(p.kind == q.kind && p.nodes == q.nodes && p.material == q.material && p.extra == q.extra &&
                    p.flag == q.flag && p.code == q.code && p.spare == q.spare)
            << "element " << i + 1;
    }
    EXPECT_EQ(a.corners, b.corners);
    EXPECT_EQ(a.nparts, b.nparts);
    EXPECT_EQ(a.part_names, b.part_names);
    EXPECT_EQ(a.georef, b.georef);
    EXPECT_EQ(a.z_offset, b.z_offset);
    EXPECT_EQ(a.high_res, b.high_res);
}

// Reads the file both ways, whole and for its corners, with tables that fit its counts and
// with tables one too large or too small; the one pass writes and ends as the two do.
void expect_one_pass_as_two(const std::string& path) {
    SCOPED_TRACE(path);
    const auto [nodes, cells] = counts(path);
    const std::pair<std::size_t, std::size_t> sizes[] = {
        {nodes, cells}, {nodes + 1, cells}, {nodes, cells + 1}, {nodes, cells > 0 ? cells - 1 : 0}};
    for (const auto& [n, c] : sizes) {
        for (const bool corners : {false, true}) {
            SCOPED_TRACE(std::to_string(n) + " nodes, " + std::to_string(c) + " elements" +
                         (corners ? ", corners" : ""));
            const Read two = read(path, n, c, false, corners);
            const Read one = read(path, n, c, true, corners);
            EXPECT_EQ(one.text, two.text);
            EXPECT_EQ(one.ended, two.ended);
            if (!two.ended) expect_same_tables(one.mesh, two.mesh);
        }
    }
}

TEST(MeshOnePass, TestMeshesWriteAndEndAsTwoPasses) {
    for (const auto& entry : fs::directory_iterator(ZORVEL_DATA_DIR))
        if (entry.path().extension() == ".2dm") expect_one_pass_as_two(entry.path().string());
}

// A fault after many elements, on the 20,000th: the progress up to the element before it,
// then its end, whatever the fault.
TEST(MeshOnePass, FaultsAfterProgressEndAsTwoPasses) {
    const std::string head = "MESH2D    512345.0 6123456.0 0.0 1.0 1.0 0.0 0.0\nND 1 0 0 0\nND 2 1 0 0\nND 3 1 1 0\n";
    const std::string faults[] = {
        "E3T 20000 1 2 x 1 0 0\n",    // a field that is no integer
        "E3T 20000 1 2 3\n",          // a field short
        "E3T 20000 1 2 4 1 0 0\n",    // a node outside the nodes
        "E3T 0 1 2 3 1 0 0\n",        // an id outside the elements
        "ND 9 0 0 0\n",               // a node id outside the nodes
        "ND 3 0 0 0.0.0\n",           // a real that cannot be read
        "E9Q 20000 1 2 3 1 2 3 1 2 3 1 0 0 0\n",  // a 9-node quadrilateral in a pre-2005 mesh
        "E3T 20000 1 2 3 1 0 0\n" + std::string(util::File::kMaxLine + 5, 'x') + "\n",  // an endless line
    };
    int k = 0;
    for (const std::string& fault : faults) {
        std::string text = head;
        for (int i = 1; i < 20000; ++i) text += "E3T " + std::to_string(i) + " 1 2 3 1 0 0\n";
        text += fault;
        text += "E3T 20001 1 2 3 1 0 0\nMESHPART after\n";
        const TempFile file("zorvel_one_pass_fault_" + std::to_string(k++), text);
        expect_one_pass_as_two(file.path());
    }
}

// The tokens of one number in a random form that a free-format read takes, with the value
// the general reader gives it (std::from_chars, a "D" exponent read as "E", a "+" dropped).
class Forms {
public:
    explicit Forms(unsigned seed) : random_(seed) {}

    // An integer field of the value.
    std::string integer(long long v) {
        std::string digits = std::to_string(v < 0 ? -v : v);
        switch (random_() % 6) {
        case 0: digits = std::string(1 + random_() % 3, '0') + digits; break;
        case 1: if (v >= 0) return "+" + digits; break;
        default: break;
        }
        return (v < 0 ? "-" : "") + digits;
    }

    // A real field near the value, and what it reads as.
    template <typename Real>
    std::string real(double v, Real& read) {
        char buf[96];
        std::string t;
        switch (random_() % 12) {
        case 0: t = fixed(buf, v, random_() % 10); break;
        case 1: t = "+" + fixed(buf, std::fabs(v), random_() % 8); break;
        case 2: t = "000" + fixed(buf, std::fabs(v), 3); break;
        case 3: t = exponent(buf, v, "eEdD"[random_() % 4]); break;
        case 4: t = fixed(buf, v, 18) + "123456789"; break;  // a long mantissa
        case 5: t = std::to_string(static_cast<long long>(v)) + "."; break;
        case 6: t = (v < 0 ? "-." : ".") + std::to_string(random_() % 100000); break;
        case 7: t = std::to_string(static_cast<long long>(v)); break;
        case 8: t = fixed(buf, v, 6); break;
        case 9: t = fixed(buf, v / 1000.0, 9); break;
        case 10: t = "16777217.5"; break;  // beyond what a float holds exactly
        default: t = fixed(buf, v, 3); break;
        }
        std::string general = t;
        if (general.size() > 1 && general[0] == '+' && general[1] != '-' && general[1] != '+') general.erase(0, 1);
        for (char& c : general)
            if (c == 'd' || c == 'D') c = 'e';
        const auto [ptr, ec] = std::from_chars(general.data(), general.data() + general.size(), read);
        EXPECT_TRUE(ec == std::errc() && ptr == general.data() + general.size()) << t;
        return t;
    }

    // A separator: blanks, tabs and commas, one or a run.
    std::string gap() {
        static const char* const gaps[] = {" ", " ", " ", " ", "  ", "\t", ",", " , ", "\t \t", ",,"};
        return gaps[random_() % std::size(gaps)];
    }

    unsigned next(unsigned n) { return static_cast<unsigned>(random_() % n); }

private:
    static std::string fixed(char* buf, double v, unsigned decimals) {
        return {buf, static_cast<std::size_t>(std::snprintf(buf, 96, "%.*f", static_cast<int>(decimals), v))};
    }
    static std::string exponent(char* buf, double v, char e) {
        std::string t(buf, static_cast<std::size_t>(std::snprintf(buf, 96, "%.7e", v)));
        t[t.find('e')] = e;
        return t;
    }

    std::mt19937 random_;
};

enum class Layout { fv, pre2005, current };

// Generates a mesh of the layout with numbers of every form, nodes in reverse order, and
// what READ2DM must store.
std::string generated_mesh(Layout layout, unsigned seed, MESH_TYPE& expected) {
    Forms forms(seed);
    constexpr int kColumns = 61, kRows = 67;
    const int nnodes = kColumns * kRows;
    std::string text = "MESH2D";
    const float z_offset = 2.5f;
    if (layout != Layout::fv) text += "    512345.0 6123456.0 0.0 1.0 1.0 0.0 0.0";
    if (layout == Layout::current) text += std::string(40, ' ') + "2.5";
    text += "\n";
    expected.NODES.assign(static_cast<std::size_t>(nnodes), mesh_node{});
    for (int i = nnodes; i >= 1; --i) {  // nodes in any order
        mesh_node& n = expected.NODES[static_cast<std::size_t>(i - 1)];
        const double x = 512345.0 + (i % kColumns) * 2.5 + forms.next(1000) / 997.0;
        std::string line = "ND" + forms.gap() + forms.integer(i) + forms.gap() + forms.real(x, n.x);
        line += forms.gap() + forms.real(6123456.0 - i * 1.25, n.y);
        line += forms.gap() + forms.real(10.0 + i % 977 * 0.013, n.z);
        if (layout == Layout::current) {
            n.offset_flag = static_cast<std::int8_t>(forms.next(2));
            line += forms.gap() + forms.integer(n.offset_flag);
            for (float& e : n.extra) line += forms.gap() + forms.real(forms.next(100) / 8.0, e);
            if (n.offset_flag == 1) n.z -= z_offset;
        }
        if (forms.next(4) == 0) line += forms.gap() + "more fields 1.5";
        text += line + (forms.next(3) == 0 ? "\r\n" : "\n");
    }
    const int ncells = (kColumns - 1) * (kRows - 1);
    expected.CELLS.assign(static_cast<std::size_t>(ncells), mesh_cell{});
    std::vector<std::string> element_lines;
    for (int e = 1; e <= ncells; ++e) {
        const int row = (e - 1) / (kColumns - 1), column = (e - 1) % (kColumns - 1);
        const int a = row * kColumns + column + 1, b = a + 1, c = a + kColumns + 1, d = a + kColumns;
        mesh_cell& cell = expected.CELLS[static_cast<std::size_t>(e - 1)];
        cell.kind = e % 3 == 0 ? 3 : 4;
        cell.material = static_cast<std::int32_t>(forms.next(7)) - 1;
        std::string line = cell.kind == 3 ? "E3T" : "E4Q";
        line += forms.gap() + forms.integer(e);
        const std::vector<int> corners = cell.kind == 3 ? std::vector<int>{a, b, c} : std::vector<int>{a, b, c, d};
        for (int n : corners) line += forms.gap() + forms.integer(n);
        line += forms.gap() + forms.integer(cell.material);
        if (layout != Layout::fv) {
            cell.extra = {static_cast<std::int32_t>(forms.next(50)), static_cast<std::int32_t>(forms.next(5))};
            line += forms.gap() + forms.integer(cell.extra[0]) + forms.gap() + forms.integer(cell.extra[1]);
        }
        if (layout == Layout::current) {
            cell.flag = static_cast<std::int8_t>(forms.next(3));
            line += forms.gap() + forms.integer(cell.flag);
            if (cell.kind == 3) {
                const char* const codes[] = {"AB", "\"WX\"", "'Q'", "ABC", "x"};
                const std::string code = codes[forms.next(5)];
                line += forms.gap() + code;
                const std::string bare = code[0] == '"' || code[0] == '\'' ? code.substr(1, code.size() - 2) : code;
                cell.code = {bare[0], bare.size() > 1 ? bare[1] : ' '};
            }
        }
        // Stored turned round: n1 n3 n2 and n1 n4 n3 n2.
        cell.nodes = cell.kind == 3 ? std::array<std::int32_t, 9>{a, c, b} : std::array<std::int32_t, 9>{a, d, c, b};
        element_lines.push_back(line + (forms.next(3) == 0 ? "\r\n" : "\n"));
    }
    // Element lines in the order of their ids, or (odd seeds) in any order.
    if (seed % 2 == 1) std::shuffle(element_lines.begin(), element_lines.end(), std::mt19937(seed));
    for (const std::string& line : element_lines) text += line;
    text += "MESHPART \"the whole grid\"\n";
    // Node kinds: the last element in element order that uses a node gives it its kind.
    for (const mesh_cell& cell : expected.CELLS)
        for (int k = 0; k < cell.kind; ++k)
            expected.NODES[static_cast<std::size_t>(cell.nodes[static_cast<std::size_t>(k)] - 1)].kind =
                cell.kind == 3 ? std::array<char, 2>{'T', ' '} : std::array<char, 2>{'H', ' '};
    if (layout == Layout::fv)
        for (mesh_node& n : expected.NODES) n.kind = {'F', 'V'};
    return text;
}

TEST(MeshOnePass, NumbersOfEveryFormReadAsFromChars) {
    for (const Layout layout : {Layout::fv, Layout::pre2005, Layout::current}) {
        for (unsigned seed : {1u, 2u}) {
            SCOPED_TRACE("layout " + std::to_string(static_cast<int>(layout)) + ", seed " + std::to_string(seed));
            MESH_TYPE expected;
            const TempFile file("zorvel_mesh_forms", generated_mesh(layout, seed, expected));
            const std::size_t nodes = expected.NODES.size(), cells = expected.CELLS.size();
            for (const bool one_pass : {false, true}) {
                Read whole = read(file.path(), nodes, cells, one_pass, false);
                ASSERT_FALSE(whole.ended) << whole.text;
                expected.corners.clear();
                expected.nparts = 1;
                expected.part_names = {"the whole grid"};
                expected.georef = whole.mesh.georef;
                expected.z_offset = layout == Layout::current ? 2.5f : 0.0f;
                expected.high_res = false;
                expect_same_tables(whole.mesh, expected);

                const Read corners = read(file.path(), nodes, cells, one_pass, true);
                ASSERT_FALSE(corners.ended) << corners.text;
                EXPECT_EQ(corners.text, whole.text);
                for (std::size_t e = 0; e < cells; ++e) {
                    const auto& w = expected.CELLS[e].nodes;
                    ASSERT_EQ(corners.mesh.corners[e], (std::array<std::int32_t, 4>{w[0], w[1], w[2], w[3]})) << e;
                }
            }
        }
    }
}

}  // namespace
}  // namespace zorvel::results
