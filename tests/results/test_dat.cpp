// The ".dat" format: the writer's bytes, the header and record readers, and the
// ends of the run for cut-off files, impossible headers and failed writes.

#include <csignal>
#include <vector>

#include <sys/resource.h>

#include "results/dat.hpp"
#include "results/dat_test_base.hpp"
#include "results/res_fields.hpp"

namespace zorvel::results {
namespace {

using testing::DatBytes;
using testing::expect_error_end;
using testing::kPressEnter;

class DatFormat : public testing::DatTest {};

TEST_F(DatFormat, WritesTheSmallScalarFileByteForByte) {
    const std::string path = dir_.file("out.dat");
    const int unit = testing::open_out(path);
    WRITE_DAT_HEADER(unit, "Water Level", false, 3, 2);
    WRITE_DAT_TIMESTEP(unit, testing::record(1.5f, {{1.0f, 0, 0}, {2.0f, 0, 0}, {3.0f, 0, 0}}, {1, 0}), path, false);
    WRITE_DAT_END_CARD(unit);
    testing::close_unit(unit);

    const DatBytes expected = DatBytes().header(3, 2, false, "Water Level").record(1.5f, {1, 0}, {1, 2, 3}).end();
    ASSERT_EQ(expected.size(), 119u);
    EXPECT_EQ(testing::read_file(path), expected.bytes());
    EXPECT_EQ(console_text(), "\nWriting output data to: " + path + "\nDone.\n");
}

TEST_F(DatFormat, WritesVectorsAsPairsAndTimesAsTheyAre) {
    const std::string path = dir_.file("out.dat");
    const int unit = testing::open_out(path);
    WRITE_DAT_HEADER(unit, "Vector Velocity", true, 2, 1);
    RES_TYPE r;
    r.nnodes = 2;
    r.ncells = 1;
    testing::set_nodes(r, {{1.0f, 2.0f, 7}, {3.0f, 4.0f, 8}});
    testing::set_cells(r, {-1});
    for (float t : {-111111.0f, -99999.0f, -0.0f}) {
        r.time = t;
        WRITE_DAT_TIMESTEP(unit, r, path, true);
    }
    testing::close_unit(unit);

    DatBytes expected = DatBytes().header(2, 1, true, "Vector Velocity");
    for (float t : {-111111.0f, -99999.0f, -0.0f}) expected.record(t, {-1}, {1, 2, 3, 4});
    EXPECT_EQ(testing::read_file(path), expected.bytes());
}

TEST_F(DatFormat, KeepsTheLastFortyCharactersOfALongName) {
    struct Case {
        std::string given, stored;
    };
    const std::vector<Case> cases = {
        {"short name   ", "short name"},
        {std::string(40, 'x'), std::string(40, 'x')},
        {"12345" + std::string(40, 'y') + "   ", std::string(40, 'y')},
        {"Max  " + std::string(30, 'z') + " of run A1", std::string(30, 'z') + " of run A1"},
    };
    for (const Case& c : cases) {
        const std::string path = dir_.file("name.dat");
        const int unit = testing::open_out(path);
        WRITE_DAT_HEADER(unit, c.given, false, 1, 0);
        testing::close_unit(unit);
        EXPECT_EQ(testing::read_file(path), DatBytes().header(1, 0, false, c.stored).bytes()) << c.given;
    }
}

TEST_F(DatFormat, ReadsHeaderCardsInAnyOrderAndSkipsTheOthers) {
    const DatBytes file = DatBytes()
                              .card(3000)
                              .card(180).i32(2)
                              .card(150).i32(77)
                              .card(4242)  // unknown: carries nothing
                              .card(190).name40("Depth")
                              .card(160).i32(88)
                              .card(140)
                              .card(170).i32(3)
                              .card(110).i32(4)
                              .record(2.0f, {1, 0}, {1, 10, 2, 20, 3, 30})
                              .end();
    const int unit = testing::open_in(dir_.write("in.dat", file));
    std::int32_t nnodes = 0, ncells = 0, card = 0;
    bool vector = false;
    std::string name;
    READDATHEADER(unit, nnodes, ncells, card, vector, "in.dat  ", name);
    EXPECT_EQ(nnodes, 3);
    EXPECT_EQ(ncells, 2);
    EXPECT_EQ(card, 200);
    EXPECT_TRUE(vector);
    EXPECT_EQ(name, "Depth");
    EXPECT_EQ(console_text(),
              "\nReading Header for: in.dat\nNumber Cells:           2\nNumber Nodes:           3\n"
              "Data Description: Depth\n");

    std::vector<std::int8_t> flags(2, 9);
    std::vector<float> x(3), y(3);
    float time = 0;
    clear_console();
    ReadDatFile(unit, vector, nnodes, ncells, flags, x, y, time, card);
    EXPECT_EQ(time, 2.0f);
    EXPECT_EQ(flags, (std::vector<std::int8_t>{1, 0}));
    EXPECT_EQ(x, (std::vector<float>{1, 2, 3}));
    EXPECT_EQ(y, (std::vector<float>{10, 20, 30}));
    EXPECT_EQ(card, 210);
    EXPECT_EQ(console_text(), "Reading data for time 2.000\nDone.\n");
}

TEST_F(DatFormat, RecordWithoutFlagsKeepsThePreviousOnesAndTheEndCardIsOptional) {
    const DatBytes file = DatBytes()
                              .header(2, 3, false, "h")
                              .record(1.0f, {1, 0, 1}, {5, 6})
                              .record(2.0f, {}, {7, 8});  // flag byte 0, no end card
    const int unit = testing::open_in(dir_.write("in.dat", file));
    std::int32_t nnodes = 0, ncells = 0, card = 0;
    bool vector = true;
    std::string name;
    READDATHEADER(unit, nnodes, ncells, card, vector, "in.dat", name);
    EXPECT_FALSE(vector);
    std::vector<std::int8_t> flags(3);
    std::vector<float> x(2), y(2, -1.0f);
    float time = 0;
    ReadDatFile(unit, false, nnodes, ncells, flags, x, y, time, card);
    EXPECT_EQ(card, 200);
    clear_console();
    READDATFILE2(unit, false, nnodes, ncells, flags, x, y, time, card);
    EXPECT_EQ(time, 2.0f);
    EXPECT_EQ(flags, (std::vector<std::int8_t>{1, 0, 1}));
    EXPECT_EQ(x, (std::vector<float>{7, 8}));
    EXPECT_EQ(y, (std::vector<float>{-1, -1}));
    EXPECT_EQ(card, 210);
    EXPECT_EQ(console_text(), "Placeholder.\nReading data for time 2.000\nDone.\n");
}

TEST_F(DatFormat, HeaderWithoutTimeRecordReturnsTheLastCard) {
    const int unit = testing::open_in(dir_.write("in.dat", DatBytes().header(4, 1, false, "h").end()));
    std::int32_t nnodes = 0, ncells = 0, card = 0;
    bool vector = false;
    std::string name = "kept";
    READDATHEADER(unit, nnodes, ncells, card, vector, "in.dat", name);
    EXPECT_EQ(card, 210);
    EXPECT_EQ(nnodes, 4);
    EXPECT_EQ(name, "h");
}

TEST_F(DatFormat, CutOffFilesAndImpossibleHeadersEndTheRun) {
    const DatBytes good = DatBytes().header(3, 2, false, "h").record(1.0f, {1, 1}, {1, 2, 3}).record(2.0f, {1, 1}, {4, 5, 6});
    struct Case {
        const char* what;
        DatBytes bytes;
        const char* message;
    };
    const char* cut = "ERROR - Unexpected end of .dat file: ";
    const char* bad = "ERROR - Invalid header in .dat file: ";
    const std::vector<Case> cases = {
        {"inside the node count", DatBytes().card(3000).card(170).raw("\1\0", 2), cut},
        {"inside the name", DatBytes().card(170).i32(3).card(180).i32(2).card(190).raw("Dep", 3), cut},
        {"inside a card", DatBytes().header(3, 2, false, "h").raw("\310", 1), cut},
        {"right after card 200", DatBytes().header(3, 2, false, "h").card(200), cut},
        {"inside the first record (its counts do not fit after the header)", good.cut(good.size() - 100), bad},
        {"inside the last record's values", good.cut(2), cut},
        {"inside the card after a record", good.cut(good.size() - 117), cut},
        {"after card 200 of a record", good.cut(19), cut},
        {"no nodes", DatBytes().header(0, 2, false, "h").record(1.0f, {1, 1}, {}), bad},
        {"negative cells", DatBytes().header(3, -1, false, "h").record(1.0f, {}, {1, 2, 3}), bad},
        {"a record larger than the file", DatBytes().header(100000, 2, false, "h").record(1.0f, {}, {1, 2, 3}), bad},
        {"a record within the file's size but not after the header",
         DatBytes().header(20, 2, false, "h").record(1.0f, {1, 1}, {1, 2, 3}), bad},
        {"no node card", DatBytes().card(180).i32(2).card(130).end(), bad},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        util::FILEUNITINIT(1000);
        const std::string path = dir_.write("cut.dat", c.bytes);
        const int unit = testing::open_in(path);
        const std::string text = expect_error_end(
            [&] {
                std::int32_t nnodes = 0, ncells = 0, card = 0;
                bool vector = false;
                std::string name;
                READDATHEADER(unit, nnodes, ncells, card, vector, path, name);
                std::vector<std::int8_t> flags(2);
                std::vector<float> x(3), y(3);
                float time = 0;
                while (card == 200) ReadDatFile(unit, vector, 3, 2, flags, x, y, time, card);
                if (std::string(c.message) == cut) ADD_FAILURE() << "read to the end";
                if (std::string(c.message) == bad) ADD_FAILURE() << "header accepted";
            },
            out_);
        std::string tail = "\n";
        tail.append(c.message).append("\"").append(path).append("\"\n").append(kPressEnter);
        ASSERT_GE(text.size(), tail.size()) << text;
        EXPECT_EQ(text.substr(text.size() - tail.size()), tail) << text;
    }
}

TEST_F(DatFormat, LayoutsTheReaderDoesNotHandleAreRefused) {
    // Sizes other than 4-byte reals and 1-byte flags, and a record followed by a card of
    // no record, would be read as garbled values.
    const auto header_with = [](std::int32_t real_bytes, std::int32_t flag_bytes) {
        return DatBytes().card(3000).card(110).i32(real_bytes).card(120).i32(flag_bytes).card(130)
            .card(170).i32(3).card(180).i32(2).card(190).name40("h");
    };
    struct Case {
        const char* what;
        DatBytes bytes;
        std::string message;
    };
    const std::string layout = "ERROR - Unsupported .dat file layout ";
    const std::string record = "ERROR - Invalid record in .dat file: ";
    const std::vector<Case> cases = {
        {"4-byte flags", header_with(4, 4).card(200).i8(1).f32(1.0f).i32(1).i32(1).f32(1).f32(2).f32(3).end(),
         layout + "(card 110 = 4, card 120 = 4): "},
        {"8-byte reals", header_with(8, 1).record(1.0f, {1, 1}, {1, 2, 3, 4, 5, 6}).end(),
         layout + "(card 110 = 8, card 120 = 1): "},
        {"flag size 0", header_with(4, 0).record(1.0f, {}, {1, 2, 3}).end(), layout + "(card 110 = 4, card 120 = 0): "},
        {"an unknown card after the first record",
         header_with(4, 1).record(1.0f, {1, 1}, {1, 2, 3}).card(4242).record(2.0f, {1, 1}, {4, 5, 6}).end(), record},
        {"a header card after a later record",
         header_with(4, 1).record(1.0f, {1, 1}, {1, 2, 3}).record(2.0f, {1, 1}, {4, 5, 6}).card(3000), record},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        util::FILEUNITINIT(1000);
        const std::string path = dir_.write("layout.dat", c.bytes);
        const int unit = testing::open_in(path);
        const std::string text = expect_error_end(
            [&] {
                std::int32_t nnodes = 0, ncells = 0, card = 0;
                bool vector = false;
                std::string name;
                READDATHEADER(unit, nnodes, ncells, card, vector, path, name);
                std::vector<std::int8_t> flags(2);
                std::vector<float> x(3), y(3);
                float time = 0;
                while (card == 200) ReadDatFile(unit, vector, nnodes, ncells, flags, x, y, time, card);
                ADD_FAILURE() << "read to the end";
            },
            out_);
        // A layout ends the run after the header's lines; a card, after the record it follows.
        const std::string expected = std::string(c.message == record ? ".000\n" : "Data Description: h\n") + "\n" +
                                     c.message + "\"" + path + "\"\n" + kPressEnter;
        ASSERT_GE(text.size(), expected.size()) << text;
        EXPECT_EQ(text.substr(text.size() - expected.size()), expected) << text;
    }
    // The layout as written is read to its end card.
    util::FILEUNITINIT(1000);
    const int unit = testing::open_in(dir_.write("good.dat", header_with(4, 1).record(1.0f, {1, 1}, {1, 2, 3}).end()));
    std::int32_t nnodes = 0, ncells = 0, card = 0;
    bool vector = false;
    std::string name;
    READDATHEADER(unit, nnodes, ncells, card, vector, "good.dat", name);
    std::vector<std::int8_t> flags(2);
    std::vector<float> x(3), y(3);
    float time = 0;
    ReadDatFile(unit, vector, nnodes, ncells, flags, x, y, time, card);
    EXPECT_EQ(card, 210);
    EXPECT_EQ(x, (std::vector<float>{1, 2, 3}));
}

TEST_F(DatFormat, FailedWritesEndTheRunAndRemoveTheOutput) {
    // Files may not grow past 64 KiB here, so a record larger than the write buffer fails.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 65536;
    ::setrlimit(RLIMIT_FSIZE, &small);
    RES_TYPE big;
    big.nnodes = 400000;
    allocate_nodes(big, 400000);
    big.time = 1.0f;
    const std::string path = dir_.file("full.dat");
    const int unit = testing::open_out(path);
    WRITE_DAT_HEADER(unit, "h", false, 400000, 0);
    const std::string text = expect_error_end([&] { WRITE_DAT_TIMESTEP(unit, big, path, false); }, out_);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(text, "\nWriting output data to: " + path + "\n\nERROR - Could not write to .dat file: \"" + path +
                        "\"\n" + kPressEnter);
    EXPECT_FALSE(util::file_exists(path)) << "a half-written output is left";

    const std::string closed = expect_error_end([&] { WRITE_DAT_END_CARD(unit); }, out_);
    EXPECT_EQ(closed, "\nERROR - No .dat file open for writing on unit 1001.\n" + std::string(kPressEnter));
}

}  // namespace
}  // namespace zorvel::results
