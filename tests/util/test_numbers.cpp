#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

#include "util/numbers.hpp"

namespace zorvel::util {
namespace {

TEST(Numbers, Integers) {
    EXPECT_EQ(AINTEGER(0), "0");
    EXPECT_EQ(AINTEGER(42), "42");
    EXPECT_EQ(AINTEGER(std::numeric_limits<std::int32_t>::min()), "-2147483648");
    EXPECT_EQ(AINTEGER8(std::numeric_limits<std::int64_t>::min()), "-9223372036854775808");
    EXPECT_EQ(AINTEGER8(std::numeric_limits<std::int64_t>::max()), "9223372036854775807");

    EXPECT_EQ(AINTEGERPREC0(5, 3), "005");
    EXPECT_EQ(AINTEGERPREC0(12345, 3), "12345");
    EXPECT_EQ(AINTEGERPREC0(-5, 3), "-5");
    EXPECT_EQ(AINTEGERPREC0(0, 4), "0000");
    EXPECT_EQ(AINTEGERPREC0(7, 1), "7");
    EXPECT_EQ(AINTEGERPREC0(7, 0), "7");  // below the range: no zeros
    EXPECT_EQ(AINTEGERPREC0(7, 25), std::string(19, '0') + "7");  // above: the 20-character field
    EXPECT_EQ(AINTEGER8PREC0(123456789012LL, 14), "00123456789012");
    EXPECT_EQ(AINTEGER8PREC0(-1, 5), "-1");
}

TEST(Numbers, RightJustifiedFields) {
    EXPECT_EQ(right_justified("2.5", 6), "   2.5");
    EXPECT_EQ(right_justified("123456", 6), "123456");
    EXPECT_EQ(right_justified("1234567", 6), "******");
    EXPECT_EQ(right_justified("", 2), "  ");

    EXPECT_EQ(integer_field(1001, 4), "1001");
    EXPECT_EQ(integer_field(10001, 4), "****");
    EXPECT_EQ(integer_field(-12, 5), "  -12");
    EXPECT_EQ(integer_field(7, 5, 4), " 0007");
    EXPECT_EQ(integer_field(-7, 5, 4), "-0007");
    EXPECT_EQ(integer_field(-7, 4, 4), "****");  // the sign needs a place of its own
    EXPECT_EQ(integer_field(std::numeric_limits<std::int64_t>::min(), 20), "-9223372036854775808");
}

struct RealCase {
    float x;
    const char* areal;
};

const RealCase kAreal[] = {
    {2.0f, "2."},
    {1.5f, "1.5"},
    {0.0f, "0."},
    {-0.0f, "0."},
    {99999.0f, "99999."},
    {1000.0f, "1000."},
    {999.94f, "999.9"},
    {999.96f, "1000."},       // rounds up at 1 decimal
    {9.9996f, "10."},         // just below 10, rounds up at 3 decimals
    {0.012345f, "0.01235"},   // 0.01 to 0.1: 5 decimals
    {0.0123f, "0.0123"},
    {0.001234567f, "0.001235"},
    {0.12345f, "0.1235"},
    {-0.5f, "-0.5"},
    {-0.25f, "-0.25"},
    {-0.0000001f, "-0."},     // negative value: the sign stays
    {123.456f, "123.5"},
    {1.0e18f, "999999984306749440."},  // the stored value, exactly
};

TEST(Numbers, RealsByMagnitude) {
    for (const RealCase& c : kAreal) {
        SCOPED_TRACE(c.areal);
        EXPECT_EQ(AREAL(c.x), c.areal);
    }
    EXPECT_EQ(AREAL(1.0e20f), std::string(20, '*'));
    // The thresholds are the single-precision values nearest 0.01 and 0.1.
    EXPECT_EQ(AREAL(0.01f), "0.01");
    EXPECT_EQ(AREAL(0.0099f), "0.0099");
    EXPECT_EQ(AREAL(0.1f), "0.1");
    EXPECT_EQ(AREAL(std::numeric_limits<float>::quiet_NaN()), "NaN");
    EXPECT_EQ(AREAL(std::numeric_limits<float>::infinity()), "Infinity");
    EXPECT_EQ(AREAL(-std::numeric_limits<float>::infinity()), "-Infinity");

    EXPECT_EQ(AREAL8(2.0), "2.");
    EXPECT_EQ(AREAL8(0.1234567890123), "0.123456789");
    EXPECT_EQ(AREAL8(1.23456789012), "1.23456789");
    EXPECT_EQ(AREAL8(12345.678901234), "12345.6789");
    EXPECT_EQ(AREAL8(123456789.5), "123456789.5");
    EXPECT_EQ(AREAL8(1234567890.4), "1234567890.");
    EXPECT_EQ(AREAL8(-0.5), "-0.5");
}

TEST(Numbers, FixedDecimals) {
    EXPECT_EQ(AREALD(2.0f, 3), "2.000");
    EXPECT_EQ(AREALD(2.0f, 0), "2.");
    EXPECT_EQ(AREALD(-0.5f, 2), "-0.50");
    EXPECT_EQ(AREALD(0.3f, 0), "0.");
    EXPECT_EQ(AREALD(2.675f, 2), "2.67");  // the stored value lies below 2.675
    EXPECT_EQ(AREALD(0.125f, 2), "0.13");  // exactly halfway: away from zero
    EXPECT_EQ(AREALD(-0.125f, 2), "-0.13");
    EXPECT_EQ(AREALD(0.5f, 0), "1.");
    EXPECT_EQ(AREALD(9.5f, 0), "10.");
    EXPECT_EQ(AREALD(-99.5f, 0), "-100.");
    EXPECT_EQ(AREALD(1.5f, -2), "2.");      // negative decimals read as none
    EXPECT_EQ(AREALD2(1.25f, 1), "1.3");
    EXPECT_EQ(AREALD8(1.0 / 3.0, 12), "0.333333333333");
    EXPECT_EQ(AREALD8(-2.0, 5), "-2.00000");
    // Width: 20 characters at most, the zero ahead of the point of a value below 1 included.
    EXPECT_EQ(AREALD8(1234567890.0, 9), "1234567890.000000000");
    EXPECT_EQ(AREALD8(1234567890.0, 10), std::string(20, '*'));
    EXPECT_EQ(AREALD8(0.5, 18), "0.500000000000000000");
    EXPECT_EQ(AREALD8(0.5, 19), std::string(20, '*'));
    EXPECT_EQ(AREALD(0.5f, 19), std::string(20, '*'));
    EXPECT_EQ(AREALD(-0.5f, 17), "-0.50000000000000000");
    EXPECT_EQ(AREALD8(-0.5, 19), std::string(20, '*'));
    EXPECT_EQ(AREALD(1.0f, 1000000000), std::string(20, '*'));
    EXPECT_EQ(AREALD8(9.9e18, 0), "9900000000000000000.");
    EXPECT_EQ(AREALD8(-9.9e18, 0), std::string(20, '*'));
    EXPECT_EQ(AREALD8(1.0e300, 2), std::string(20, '*'));
}

TEST(Numbers, CountOfNumbersOnALine) {
    struct Case {
        const char* line;
        std::int32_t count;
    };
    const Case cases[] = {
        {"", 0},
        {"    ", 0},
        {"1 2.5\t-3", 3},
        {"1 2 word", -2},
        {"1 ! 2 3", 1},
        {"1 2 # 3", 2},
        {"1,,3", 3},
        {",,5", 2},
        {"1,2,", 2},
        {"e", 1},
        {"1-2", 1},
        {"abc 1", 0},
        {"+1", 0},
        {"  1.0E+03", -1},  // the plus sign is another character
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        EXPECT_EQ(NUMBEROFNUMBERS(c.line), c.count);
    }
}

TEST(Numbers, IntegerTests) {
    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    };
    const Case cases[] = {
        {"42", true, 42},
        {"   -17   ", true, -17},
        {"+8", true, 8},
        {"12 apples", true, 12},
        {"12,13", true, 12},
        {"7/", true, 7},
        {"2147483647", true, 2147483647},
        {"-2147483648", true, -2147483647 - 1},
        {"2147483648", false, 0},
        {"", false, 0},
        {"     ", false, 0},
        {"1.5", false, 0},
        {"12a", false, 0},
        {"-", false, 0},
        {"+-3", false, 0},
        {", 5", false, 0},
        {"  /5", false, 0},
        {"1e3", false, 0},
        {"\t5", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::int32_t i = -99;
        EXPECT_EQ(CHECKINT(c.text, i), c.ok);
        EXPECT_EQ(i, c.ok ? c.value : -99);  // unchanged on failure
        std::int32_t j = -99;
        EXPECT_EQ(CHECKINT4(c.text, j), c.ok);
    }
    std::int64_t big = 0;
    EXPECT_TRUE(CHECKINT8(" 9223372036854775807", big));
    EXPECT_EQ(big, std::numeric_limits<std::int64_t>::max());
    EXPECT_FALSE(CHECKINT8("9223372036854775808", big));
    EXPECT_FALSE(CHECKINT8(",1", big));
    EXPECT_EQ(big, std::numeric_limits<std::int64_t>::max());
}

TEST(Numbers, RealNumberFields) {
    const struct {
        const char* field;
        const char* number;  // nullptr: not a real number field
    } cases[] = {
        {"1.5", "1.5"},   {"+2", "2"},       {"-.5", "-.5"},     {"5.", "5."},
        {"1.5D3", "1.5e3"}, {"1.5+3", "1.5e3"}, {"1e-3", "1e-3"}, {"1E+3", "1e3"},
        {".", nullptr},   {"1e", nullptr},   {"1.5x", nullptr},  {"1..2", nullptr},
        {"", nullptr},    {"1 2", nullptr},  {"+-1", nullptr},   {"1e+", nullptr},
    };
    for (const auto& c : cases) {
        std::string number;
        EXPECT_EQ(real_number_text(c.field, number), c.number != nullptr) << c.field;
        if (c.number != nullptr) EXPECT_EQ(number, c.number) << c.field;
    }
}

TEST(Numbers, DayNumbers) {
    struct Case {
        const char* date;
        std::int32_t days;
    };
    const Case cases[] = {
        {"19991231", 0},
        {"20000101", 1},
        {"20000102", 2},
        {"20000201", 32},
        {"20000228", 59},
        {"20000230", 59},  // February is cut at 28 days
        {"20001231", 365},
        {"20010101", 366},
        {"2000 1 5", 5},   // blanks inside a field are ignored
        {"2000  01", -1},  // a blank month reads as 0
        {"2000a101", -1},
        {"20001301", -1},  // month outside 1 to 12
        {"20000001", -1},
        {"2000010", -1},   // shorter than 8 characters
        {"", -1},
        {"200002-1", 30},  // a signed field reads
        {"2000-+01", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.date);
        EXPECT_EQ(NUMBEROFDAYS(c.date), c.days);
    }
    EXPECT_EQ(NUMBEROFDAYS("20000101 trailing text"), 1);
}

TEST(Numbers, VectorMagnitude) {
    EXPECT_EQ(VECTOR_MAGNITUDE(3.0f, 4.0f), 5.0f);
    EXPECT_EQ(VECTOR_MAGNITUDE(-3.0f, 4.0f), 5.0f);
    EXPECT_EQ(VECTOR_MAGNITUDE(1.0e-6f, -1.0e-6f), 0.0f);
    EXPECT_EQ(VECTOR_MAGNITUDE(0.0f, 0.0f), 0.0f);
    EXPECT_FLOAT_EQ(VECTOR_MAGNITUDE(2.0e-6f, 0.0f), 2.0e-6f);
    EXPECT_FLOAT_EQ(VECTOR_MAGNITUDE(0.0f, -2.0e-6f), 2.0e-6f);
}

// The buffer editors of fixed-width fields, each checked to write exactly its width.
TEST(Numbers, FixedWidthFieldsInABuffer) {
    const auto e = [](double v, std::size_t w = 12, int d = 5) {
        char buf[64];
        std::memset(buf, '#', sizeof buf);
        char* end = put_e_field(buf, v, w, d);
        EXPECT_EQ(static_cast<std::size_t>(end - buf), w);
        EXPECT_EQ(buf[w], '#');
        return std::string(buf, end);
    };
    const auto i = [](std::int64_t v, std::size_t w = 10) {
        char buf[32];
        return std::string(buf, put_integer_field(buf, v, w));
    };
    const auto f = [](double v, std::size_t w = 15, int d = 5) {
        char buf[32];
        return std::string(buf, put_f_field(buf, v, w, d));
    };
    const struct {
        double v;
        const char* text;
    } e_cases[] = {
        {0.0, " 0.00000E+00"},   {-0.0, " 0.00000E+00"},      {12.5, " 0.12500E+02"},
        {0.25, " 0.25000E+00"},  {-1.5, "-0.15000E+01"},      {1.0, " 0.10000E+01"},
        {0.1, " 0.10000E+00"},   {0.999996, " 0.10000E+01"},  {-0.999994, "-0.99999E+00"},
        {1.0e-5, " 0.10000E-04"}, {123456.7, " 0.12346E+06"}, {512345.0, " 0.51235E+06"},
        {123445.0, " 0.12345E+06"},
        {0.0000015625, " 0.15625E-05"}, {1.5625e-7, " 0.15625E-06"},
        {static_cast<double>(3.4028235e38f), " 0.34028E+39"}, {1.0e100, " 0.10000+101"},
        {-2.5e-120, "-0.25000-119"}, {1.0e-320, " 0.99999-320"},
    };
    for (const auto& c : e_cases) EXPECT_EQ(e(c.v), c.text) << c.v;
    EXPECT_EQ(e(0.125, 8, 2), "0.13E+00");  // halfway: away from zero
    EXPECT_EQ(e(0.125, 7, 2), ".13E+00");   // the zero ahead of the point goes when room is short
    EXPECT_EQ(e(-0.125, 9, 2), "-0.13E+00");
    EXPECT_EQ(e(99999.5, 12, 5), " 0.10000E+06");
    EXPECT_EQ(e(0.5, 4, 2), "****");
    EXPECT_EQ(e(std::nan(""), 12, 5), "         NaN");
    EXPECT_EQ(e(-INFINITY, 12, 5), "   -Infinity");

    EXPECT_EQ(i(1), "         1");
    EXPECT_EQ(i(-2147483648LL, 11), "-2147483648");
    EXPECT_EQ(i(1234567890), "1234567890");
    EXPECT_EQ(i(12345678901LL), "**********");
    EXPECT_EQ(i(0, 3), "  0");

    EXPECT_EQ(f(12.5), "       12.50000");
    EXPECT_EQ(f(-0.25, 8, 2), "   -0.25");
    EXPECT_EQ(f(512345.123456), "   512345.12346");
    EXPECT_EQ(f(1.0e12), "***************");
}

}  // namespace
}  // namespace zorvel::util
