// The fast readers of node and element lines against the general reader of ".2dm" fields:
// whatever line a fast reader takes, the general reader reads the same way, with the same
// values; and the fast readers do take the plain lines that meshes are made of.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "results/mesh_fields.hpp"
#include "results/mesh_lines.hpp"
#include "util/file_io.hpp"

namespace zorvel::results {
namespace {

using mesh_text::Fields;
using mesh_text::Got;

// A text as next_line hands a line out: followed by a line end and the slack.
class Line {
public:
    explicit Line(std::string text) : text_(std::move(text)) {
        size_ = text_.size();
        text_ += '\n';
        text_.append(util::File::kLineSlack, '7');  // digits past the end must not count
    }
    std::string_view view() const { return {text_.data(), size_}; }

private:
    std::string text_;
    std::size_t size_;
};

// The general reader's id and flag of a node line's text, or false when it refuses it.
bool general_node(std::string_view text, int fields, std::int32_t& id, std::int8_t& flag) {
    Fields f(text);
    double x = 0;
    float z = 0;
    if (f.integer(id) != Got::ok || f.real(x) != Got::ok || f.real(x) != Got::ok || f.real(z) != Got::ok) return false;
    if (fields == 4) return true;
    return f.integer(flag) == Got::ok && f.real(z) == Got::ok && f.real(z) == Got::ok && f.real(z) == Got::ok;
}

// The general reader's integers (and word) of an element line's text, or false.
bool general_element(std::string_view text, int count, bool word, std::vector<std::int32_t>& values,
                     std::string_view& code) {
    Fields f(text);
    values.assign(static_cast<std::size_t>(count), 0);
    for (std::int32_t& v : values)
        if (f.integer(v) != Got::ok) return false;
    return !word || f.word(code) == Got::ok;
}

// Checks one node text both ways; true when the fast reader took it.
bool node_agrees(const std::string& text, int fields) {
    const Line line(text);
    std::int32_t id = -1, general_id = -1;
    std::int8_t flag = -1, general_flag = -1;
    if (!mesh_lines::node_checked(line.view(), fields, id, flag)) return false;
    EXPECT_TRUE(general_node(line.view(), fields, general_id, general_flag)) << '"' << text << "\" " << fields;
    EXPECT_EQ(id, general_id) << '"' << text << '"';
    if (fields == 8) {
        EXPECT_EQ(flag, general_flag) << '"' << text << '"';
    }
    return true;
}

// Checks one element text both ways; true when the fast reader took it.
bool element_agrees(const std::string& text, int count, bool word) {
    const Line line(text);
    std::int32_t values[16];
    std::string_view code, general_code;
    std::vector<std::int32_t> general;
    if (!mesh_lines::element_read(line.view(), count, word, values, code)) return false;
    EXPECT_TRUE(general_element(line.view(), count, word, general, general_code)) << '"' << text << '"';
    for (int k = 0; k < count && k < static_cast<int>(general.size()); ++k)
        EXPECT_EQ(values[k], general[static_cast<std::size_t>(k)]) << '"' << text << "\" field " << k;
    if (word) {
        EXPECT_EQ(code, general_code) << '"' << text << '"';
    }
    return true;
}

TEST(MeshLines, NodeLinesTakenOnlyAsTheGeneralReaderReadsThem) {
    struct Case {
        std::string text;
        int fields;
        bool fast;  // the fast reader takes it (on a processor that runs it)
    } cases[] = {
        {" 1 512345.000000 6123456.000000 10.976 0 0.000 0.000 0.000", 8, true},
        {" 12345678 1.5 2.5 3.5 1 0 0 0", 8, true},
        {"\t7,-1.25,,+2.5\t .5 127 5. -0.0 +0", 8, true},
        {" 7 -1.25 2 3 trailing words are not read", 4, true},
        {" 7 1234567890123456789 1 1", 4, true},           // 19 digits
        {" 7 12345678901234567890 1 1", 4, false},         // 20 digits: the general reader's
        {" 7 1.5 2.5 3.5 128 0 0 0", 8, false},            // flag beyond an 8-bit integer
        {" 7 1.5 2.5 3.5 -1 0 0 0", 8, false},             // a sign on the flag
        {" +7 1.5 2.5 3.5", 4, false},                     // a sign on the id
        {" 123456789 1.5 2.5 3.5", 4, false},              // a 9-digit id
        {" 7 1.5 2.5", 4, false},                          // a field short
        {" 7 1.5 2.5 3.5 0 0 0", 8, false},
        {" 7 1.5.2 2.5 3.5", 4, false},                    // two points
        {" 7 1.5 - 3.5", 4, false},                        // a sign alone
        {" 7 1.5 . 3.5", 4, false},                        // a point alone
        {" 7 1.5 -. 3.5", 4, false},
        {" 7 1-5 2.5 3.5", 4, false},                      // a sign inside
        {" 7 1e5 2.5 3.5", 4, false},                      // an exponent
        {" 7 1D5 2.5 3.5", 4, false},
        {" 7 0x10 2.5 3.5", 4, false},
        {" 7.0 1 2 3", 4, false},                          // a real id
        {" 7 1 2 3\r", 4, false},                          // a carriage return inside the line
        {" 7 1 2 3 1.5 0 0 0", 8, false},                  // a real flag
        {" 7 inf 2 3", 4, false},
        {"", 4, false},
    };
    for (const Case& c : cases) {
        const bool taken = node_agrees(c.text, c.fields);
        EXPECT_EQ(taken, c.fast && mesh_lines::available()) << '"' << c.text << '"';
    }
}

TEST(MeshLines, ElementLinesTakenOnlyAsTheGeneralReaderReadsThem) {
    struct Case {
        std::string text;
        int count;
        bool word;
        bool fast;
    } cases[] = {
        {" 998001 997000 997001 998001 998000 1 0 0 0", 9, false, true},
        {" 2 1 2 3 1 0 0 0 AB", 8, true, true},
        {" 2 1 2 3 1 0 0 0 \"W X\"", 8, true, true},
        {"\t2,,1 2\t\t3 1", 5, false, true},
        {" 12345678 1 2 3 4 5 6 7 8 9 10 11 12 13", 14, false, true},
        {" 2 1 2 3 1 0 0 0", 8, true, false},      // no code
        {" 2 1 2 3 1 0 0", 8, false, false},       // a field short
        {" 123456789 1 2 3 1", 5, false, false},   // 9 digits
        {" 2 -1 2 3 1", 5, false, false},          // a sign
        {" 2 +1 2 3 1", 5, false, false},
        {" 2 1.0 2 3 1", 5, false, false},
        {" 2 1 2 3 1e1", 5, false, false},
        {" 2 1 2 3 x", 5, false, false},
    };
    for (const Case& c : cases) {
        const bool taken = element_agrees(c.text, c.count, c.word);
        EXPECT_EQ(taken, c.fast && mesh_lines::available()) << '"' << c.text << '"';
    }
}

// Lines of every length up to past two windows, fields across the window edges.
TEST(MeshLines, LinesOfEveryLengthAcrossTheWindows) {
    for (std::size_t pad = 0; pad < 140; ++pad) {
        const std::string blanks(pad, ' ');
        const std::string node = blanks + " 42 1.5 2.25 3.125 1 0.5 0.25 0.125";
        const bool fits = node.size() < 128;
        EXPECT_EQ(node_agrees(node, 8), fits && mesh_lines::available()) << pad;
        const std::string element = blanks + " 42 1 2 3 4 5 6 7 WX";
        EXPECT_EQ(element_agrees(element, 8, true), element.size() < 128 && mesh_lines::available()) << pad;
    }
}

// Random lines of the bytes that matter: each the fast reader takes, the general reader
// reads alike.
TEST(MeshLines, RandomLinesAgree) {
    std::mt19937 random(20240620);
    const std::string alphabet = "0123456789012345678901234567890123456789  \t,.+-eDx\r";
    int taken_nodes = 0, taken_elements = 0;
    for (int i = 0; i < 200000; ++i) {
        const std::size_t length = random() % 140;
        std::string text;
        for (std::size_t j = 0; j < length; ++j) text += alphabet[random() % alphabet.size()];
        taken_nodes += node_agrees(text, random() % 2 ? 8 : 4);
        const int count = 1 + static_cast<int>(random() % 14);
        taken_elements += element_agrees(text, count, random() % 2 == 0);
    }
    // Mostly plain lines, so that the fast readers take a good share of them.
    for (int i = 0; i < 20000; ++i) {
        std::string text;
        const int fields = 4 + static_cast<int>(random() % 12);
        for (int k = 0; k < fields; ++k) {
            text += random() % 8 ? " " : " \t,";
            const int digits = 1 + static_cast<int>(random() % 10);
            for (int j = 0; j < digits; ++j) text += static_cast<char>('0' + random() % 10);
            if (random() % 3 == 0) text.insert(text.end() - static_cast<std::ptrdiff_t>(random() % digits), '.');
        }
        taken_nodes += node_agrees(text, random() % 2 ? 8 : 4);
        taken_elements += element_agrees(text, 1 + static_cast<int>(random() % 10), random() % 4 == 0);
    }
    if (mesh_lines::available()) {
        EXPECT_GT(taken_nodes, 1000);
        EXPECT_GT(taken_elements, 1000);
    }
}

}  // namespace
}  // namespace zorvel::results
