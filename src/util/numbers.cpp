#include "util/numbers.hpp"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <system_error>

#include "util/text.hpp"

namespace zorvel::util {

namespace {

constexpr std::size_t kField = 20;  // width of the work text every number is edited into

// A field of asterisks: the value does not fit.
std::string stars() { return std::string(kField, '*'); }

// An integer's digits, with its sign.
template <class Int>
std::string integer_text(Int i) {
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, i);
    return std::string(buf, r.ptr);
}

// An integer with leading zeros up to n digits (1 to 20); a negative one as it is.
template <class Int>
std::string integer_with_zeros(Int i, std::int32_t n) {
    std::string s = integer_text(i);
    if (i < 0) return s;
    const std::size_t digits = static_cast<std::size_t>(std::clamp<std::int32_t>(n, 1, static_cast<std::int32_t>(kField)));
    if (s.size() < digits) s.insert(0, digits - s.size(), '0');
    return s;
}

// Adds one unit in the last digit of a digit-and-point text, carrying leftwards.
void round_up_last_digit(std::string& s) {
    std::size_t first = (!s.empty() && s[0] == '-') ? 1 : 0;
    for (std::size_t k = s.size(); k-- > first;) {
        if (s[k] == '.') continue;
        if (s[k] != '9') {
            ++s[k];
            return;
        }
        s[k] = '0';
    }
    s.insert(first, 1, '1');
}

// F20.d editing of x, without its leading blanks.
std::string fixed_text(double x, std::int32_t d) {
    if (std::isnan(x)) return "NaN";
    if (std::isinf(x)) return x < 0 ? "-Infinity" : "Infinity";
    if (d < 0) d = 0;
    // Only "0." and d digits already need d + 2 places; 1.0E20 needs 21 before the point.
    if (d > static_cast<std::int32_t>(kField) - 1 || std::fabs(x) >= 1.0e20) return stars();
    x += 0.0;  // a negative zero is written as zero

    // A value exactly halfway between two results has x * 2^(d+1) odd: round it away from zero.
    const double scaled = std::ldexp(x, d + 1);
    const bool halfway = std::fabs(std::fmod(scaled, 2.0)) == 1.0;

    char buf[64];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, halfway ? d + 1 : d);
    if (r.ec != std::errc()) return stars();
    std::string s(buf, r.ptr);
    if (halfway) {
        s.pop_back();  // the exact text ends in the halfway "5"
        round_up_last_digit(s);
    } else if (d == 0) {
        s.push_back('.');
    }
    // The zero ahead of the point of a value below 1 is part of the text, as its sign is.
    if (s.size() > kField) return stars();
    return s;
}

// The edited text with its trailing zeros cut (the point stays); asterisks stay as they are.
std::string cut_zeros(std::string s) {
    if (s.find('.') == std::string::npos) return s;
    while (!s.empty() && s.back() == '0') s.pop_back();
    return s;
}

// CHECKINT for an integer type: the first item, ended by a blank, comma or slash.
template <class Int>
bool check_integer(std::string_view text, Int& i) {
    const std::size_t start = text.find_first_not_of(' ');
    if (start == std::string_view::npos) return false;
    std::string_view item = text.substr(start);
    item = item.substr(0, item.find_first_of(" ,/"));
    // A leading comma or slash would be a null item: there is no integer to read.
    if (item.empty()) return false;
    std::string_view digits = item;
    if (digits[0] == '+' || digits[0] == '-') digits.remove_prefix(1);
    if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos) return false;
    if (item[0] == '+') item.remove_prefix(1);
    Int value{};
    auto r = std::from_chars(item.data(), item.data() + item.size(), value);
    if (r.ec != std::errc() || r.ptr != item.data() + item.size()) return false;
    i = value;
    return true;
}

// One field of a date: blanks ignored, all blanks read as 0, an optional sign ahead.
bool date_field(std::string_view field, std::int32_t& value) {
    std::string kept;
    for (char c : field)
        if (c != ' ') kept.push_back(c);
    if (kept.empty()) {
        value = 0;
        return true;
    }
    bool negative = false;
    std::string_view digits = kept;
    if (digits[0] == '+' || digits[0] == '-') {
        negative = digits[0] == '-';
        digits.remove_prefix(1);
    }
    if (digits.empty()) return false;
    std::int32_t v = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + (c - '0');
    }
    value = negative ? -v : v;
    return true;
}

// Asterisks across a field of width characters; returns the end of the field.
char* fill_stars(char* out, std::size_t width) {
    std::memset(out, '*', width);
    return out + width;
}

// The text right-justified in width characters at out, or asterisks when it is wider.
char* put_right_justified(char* out, std::string_view text, std::size_t width) {
    if (text.size() > width) return fill_stars(out, width);
    std::memset(out, ' ', width - text.size());
    std::memcpy(out + width - text.size(), text.data(), text.size());
    return out + width;
}

// True when a (positive) lies exactly halfway between two multiples of 10^k: a / 10^k is
// an odd number of halves. For k below 0 that is a * 2^(1-k) odd (a binary value holds
// the factors 5^-k in its integer part); for k of 0 or more a must be an integer.
bool exactly_halfway(double a, int k) {
    if (k < 0) {
        if (k < -1070) return false;
        const double scaled = std::ldexp(a, 1 - k);
        return std::fmod(scaled, 2.0) == 1.0;
    }
    if (k == 0) return std::fmod(2.0 * a, 2.0) == 1.0;
    if (k > 19 || a >= 18446744073709551616.0 || a != std::floor(a)) return false;
    // a = odd * 5^k * 2^(k-1)
    std::uint64_t unit = 1;
    for (int i = 0; i < k; ++i) unit *= 5;
    unit <<= (k - 1);
    const auto u = static_cast<std::uint64_t>(a);
    return u % unit == 0 && (u / unit) % 2 == 1;
}

// Adds one unit in the last of n digits, carrying leftwards; true when every digit
// carried over (the digits then read 1000...: one more place in the exponent).
bool round_up_digits(char* digits, int n) {
    for (int k = n - 1; k >= 0; --k) {
        if (digits[k] != '9') {
            ++digits[k];
            return false;
        }
        digits[k] = '0';
    }
    digits[0] = '1';
    return true;
}

}  // namespace

std::string AINTEGER(std::int32_t i) { return integer_text(i); }
std::string AINTEGER8(std::int64_t i) { return integer_text(i); }
std::string AINTEGERPREC0(std::int32_t i, std::int32_t n) { return integer_with_zeros(i, n); }
std::string AINTEGER8PREC0(std::int64_t i, std::int32_t n) { return integer_with_zeros(i, n); }

std::string AREAL(float x) {
    const float a = std::fabs(x);
    std::int32_t d = 0;
    if (a < 0.01f) d = 6;
    else if (a < 0.1f) d = 5;
    else if (a < 1.0f) d = 4;
    else if (a < 10.0f) d = 3;
    else if (a < 100.0f) d = 2;
    else if (a < 1000.0f) d = 1;
    return cut_zeros(fixed_text(x, d));
}

std::string AREAL8(double x) {
    const double a = std::fabs(x);
    std::int32_t d = 0;
    double limit = 1.0;
    for (std::int32_t decimals = 10; decimals >= 1; --decimals, limit *= 10.0) {
        if (a < limit) {
            d = decimals;
            break;
        }
    }
    return cut_zeros(fixed_text(x, d));
}

std::string AREALD(float x, std::int32_t n) { return fixed_text(x, n); }
std::string AREALD2(float x, std::int32_t n) { return fixed_text(x, n); }
std::string AREALD8(double x, std::int32_t n) { return fixed_text(x, n); }

std::string right_justified(std::string_view text, std::size_t width) {
    if (text.size() > width) return std::string(width, '*');
    std::string field(width - text.size(), ' ');
    field.append(text);
    return field;
}

std::string integer_field(std::int64_t value, std::size_t width, std::size_t digits) {
    const std::uint64_t magnitude =
        value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    std::string s = integer_text(magnitude);
    if (s.size() < digits) s.insert(0, digits - s.size(), '0');
    if (value < 0) s.insert(0, 1, '-');
    return right_justified(s, width);
}

char* put_integer_field(char* out, std::int64_t value, std::size_t width) {
    char digits[24];
    char* const end = digits + sizeof digits;
    char* p = end;
    std::uint64_t m = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + m % 10);
        m /= 10;
    } while (m != 0);
    if (value < 0) *--p = '-';
    return put_right_justified(out, std::string_view(p, static_cast<std::size_t>(end - p)), width);
}

char* put_e_field(char* out, double value, std::size_t width, int decimals) {
    const int d = std::clamp(decimals, 1, 17);
    if (std::isnan(value)) return put_right_justified(out, "NaN", width);
    if (std::isinf(value)) return put_right_justified(out, value < 0 ? "-Infinity" : "Infinity", width);
    const double a = std::fabs(value);
    char text[40];
    char* p = text;
    if (value < 0) *p++ = '-';
    *p++ = '0';
    *p++ = '.';
    char* const digits = p;
    int exponent = 0;  // the value is 0.<digits> x 10^exponent
    if (a == 0.0) {
        std::memset(digits, '0', static_cast<std::size_t>(d));
    } else {
        char sci[48];  // "D.DDDDe+XX"
        const auto r = std::to_chars(sci, sci + sizeof sci, a, std::chars_format::scientific, d - 1);
        const char* e = std::find(sci, r.ptr, 'e');
        digits[0] = sci[0];
        if (d > 1) std::memcpy(digits + 1, sci + 2, static_cast<std::size_t>(d - 1));
        int sci_exponent = 0;
        std::from_chars(e + (e[1] == '+' ? 2 : 1), r.ptr, sci_exponent);
        exponent = sci_exponent + 1;
        // An exact halfway case was rounded to the even digit, so it went down: round it up.
        if ((digits[d - 1] - '0') % 2 == 0 && exactly_halfway(a, exponent - d) && round_up_digits(digits, d))
            ++exponent;
    }
    p = digits + d;
    const int e_abs = exponent < 0 ? -exponent : exponent;
    if (e_abs > 999) return fill_stars(out, width);
    if (e_abs <= 99) *p++ = 'E';
    *p++ = exponent < 0 ? '-' : '+';
    if (e_abs > 99) *p++ = static_cast<char>('0' + e_abs / 100);
    *p++ = static_cast<char>('0' + e_abs / 10 % 10);
    *p++ = static_cast<char>('0' + e_abs % 10);
    std::string_view field(text, static_cast<std::size_t>(p - text));
    if (field.size() > width) {
        // The zero ahead of the point is optional and goes first when room is short.
        char* zero = text + (value < 0 ? 1 : 0);
        std::memmove(zero, zero + 1, static_cast<std::size_t>(p - zero - 1));
        field = std::string_view(text, field.size() - 1);
    }
    return put_right_justified(out, field, width);
}

char* put_f_field(char* out, double value, std::size_t width, int decimals) {
    return put_right_justified(out, fixed_text(value, decimals), width);
}

std::int32_t NUMBEROFNUMBERS(std::string_view line) {
    std::int32_t count = 0;
    bool inside = false;
    bool after_comma = false;
    for (char c : rtrim(line)) {
        if ((c >= '0' && c <= '9') || c == '-' || c == '.' || c == 'e' || c == 'E') {
            if (!inside) {
                ++count;
                inside = true;
                after_comma = false;
            }
        } else if (c == ' ' || c == '\t') {
            inside = false;
        } else if (c == ',') {
            if (!inside && after_comma) ++count;
            inside = false;
            after_comma = true;
        } else if (c == '!' || c == '#') {
            return count;
        } else {
            return -count;
        }
    }
    return count;
}

bool real_number_text(std::string_view field, std::string& number) {
    const auto digit = [](char c) { return c >= '0' && c <= '9'; };
    const std::string_view t = field;
    number.clear();
    std::size_t i = 0;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '-') number.push_back('-');
        ++i;
    }
    std::size_t digits = 0;
    bool point = false;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        if (digit(c))
            ++digits;
        else if (c == '.' && !point)
            point = true;
        else
            break;
        number.push_back(c);
    }
    if (digits == 0) return false;
    if (i == t.size()) return true;
    const char c = t[i];
    if (c == 'e' || c == 'E' || c == 'd' || c == 'D')
        ++i;
    else if (c != '+' && c != '-')
        return false;
    number.push_back('e');
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        if (t[i] == '-') number.push_back('-');
        ++i;
    }
    if (i == t.size()) return false;
    for (; i < t.size(); ++i) {
        if (!digit(t[i])) return false;
        number.push_back(t[i]);
    }
    return true;
}

bool CHECKINT(std::string_view text, std::int32_t& i) { return check_integer(text, i); }
bool CHECKINT4(std::string_view text, std::int32_t& i) { return check_integer(text, i); }
bool CHECKINT8(std::string_view text, std::int64_t& i) { return check_integer(text, i); }

std::int32_t NUMBEROFDAYS(std::string_view date) {
    static constexpr std::int32_t kDaysBefore[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    if (trimmed_length(date) < 8) return -1;
    std::int32_t year = 0, month = 0, day = 0;
    if (!date_field(date.substr(0, 4), year) || !date_field(date.substr(4, 2), month) ||
        !date_field(date.substr(6, 2), day))
        return -1;
    if (month < 1 || month > 12) return -1;
    if (month == 2 && day > 28) day = 28;
    return day + kDaysBefore[month - 1] + 365 * year - 730000;
}

}  // namespace zorvel::util
