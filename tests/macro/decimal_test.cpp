// Decimal arithmetic: a generated table checked against Python's decimal
// module (data/gen_decimal_cases.py explains the rules laid over it), and the
// hand-picked cases below.
#include "macro/decimal.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

struct Result {
  std::string text;
  int32_t code;
};

// Runs one operation by its name in the data file.
Result run(const std::string& op, const std::string& a, const std::string& b) {
  DecText t;
  int32_t rc = 0;
  if (op == "fmt") {
    DecNumber x;
    if (dec_parse(a, &x) != 0) return {"", ERR_INVALID_NUMBER_ARGUMENT};
    rc = dec_format(&t, x);
  } else if (op == "add" || op == "sub") {
    rc = dec_add_sub_cmp(&t, a, b, op == "add" ? 0 : 1);
  } else if (op == "cmp") {
    int32_t c = dec_add_sub_cmp(&t, a, b, 2);
    return {std::to_string((c > 0) - (c < 0)), 0};
  } else if (op == "mul") {
    rc = dec_mul(&t, a, b);
  } else if (op == "div" || op == "idiv" || op == "mod") {
    rc = dec_div(&t, a, b, op == "div" ? 0 : (op == "idiv" ? 1 : 2));
  } else if (op == "pow") {
    rc = dec_power(&t, a, b);
  } else if (op == "toint") {
    int32_t v = 0;
    rc = dec_to_int(a, &v);
    return {rc == 0 ? std::to_string(v) : "", rc};
  } else if (op == "and" || op == "or") {
    rc = dec_bit_and_or(&t, a, b, op == "or");
  } else if (op == "xor") {
    rc = dec_bit_xor(&t, a, b);
  } else if (op == "shl" || op == "shr") {
    rc = dec_shift(&t, a, b, op == "shl");
  } else if (op == "not") {
    rc = dec_bit_not(&t, a);
  } else {
    ADD_FAILURE() << "unknown op " << op;
  }
  return {std::string(t.view()), rc};
}

std::vector<std::string> split(const std::string& line, char sep) {
  std::vector<std::string> f;
  size_t start = 0;
  for (;;) {
    size_t p = line.find(sep, start);
    f.push_back(line.substr(start, p - start));
    if (p == std::string::npos) return f;
    start = p + 1;
  }
}

TEST(Decimal, GeneratedOracleTable) {
  std::ifstream in(ZVX_TEST_DATA_DIR "/macro/data/decimal_cases.txt");
  ASSERT_TRUE(in) << "missing data file";
  std::string line;
  int rows = 0, failures = 0;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] == '#') continue;
    auto f = split(line, '|');
    ASSERT_EQ(f.size(), 5u) << line;
    ++rows;
    Result r = run(f[0], f[1], f[2]);
    int32_t want_code = std::stoi(f[4]);
    if (r.code != want_code || (want_code == 0 && r.text != f[3])) {
      if (++failures <= 25)
        ADD_FAILURE() << f[0] << " [" << f[1] << "] [" << f[2] << "]: got [" << r.text << "] code " << r.code
                      << ", want [" << f[3] << "] code " << want_code;
    }
  }
  EXPECT_GT(rows, 5000);
  EXPECT_EQ(failures, 0);
}

struct Case {
  const char* op;
  const char* a;
  const char* b;
  const char* text;
  int32_t code;
};

// The documented examples, the limits, and the rules decided here.
const Case kCases[] = {
    // Exact sums keep their digits.
    {"add", "0.1", "0.2", "0.3", 0},
    {"add", "1.50", "0", "1.50", 0},
    {"add", "0.5", "0.5", "1.0", 0},
    {"add", "1", "0.00", "1", 0},  // an exact zero leaves a as written
    {"add", "99999999999999999999999999999999", "1", "1.0000000000000000000000000000000E+32", 0},
    {"sub", "0.3", "0.1", "0.2", 0},
    {"sub", "-5", "-5", "0", 0},
    // Alignment: the larger operand cannot shift, the smaller is rounded.
    {"sub", "10000000000000000000000000000000", "0.5", "9999999999999999999999999999999", 0},
    {"add", "1E100", "1", "1E+100", 0},
    {"add", "1E40", "1", "1.0000000000000000000000000000000E+40", 0},
    // A zero with a large exponent takes the other operand's (mended).
    {"add", "0E50", "1", "1", 0},
    {"cmp", "0E50", "1", "-1", 0},
    // Formatting.
    {"fmt", "1E31", "", "10000000000000000000000000000000", 0},
    {"fmt", "1E32", "", "1E+32", 0},
    {"fmt", "0.000123", "", "0.000123", 0},
    {"fmt", "12345E40", "", "1.2345E+44", 0},
    {"fmt", "-0", "", "0", 0},
    {"fmt", "1E-64", "", "0.0000000000000000000000000000000000000000000000000000000000000001", 0},
    {"fmt", "1E-65", "", "1E-65", 0},
    {"fmt", "-1.5E-70", "", "-1.5E-70", 0},
    {"fmt", "123456789012345678901234567890123456", "", "1.2345678901234567890123456789012E+35", 0},
    // Parsing.
    {"fmt", "- 7", "", "-7", 0},
    {"fmt", " \t+12 \t", "", "12", 0},
    {"fmt", "1E", "", "1", 0},
    {"fmt", "1e+", "", "1", 0},
    {"fmt", ".5", "", "0.5", 0},
    {"fmt", "5.", "", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"fmt", ".E5", "", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"fmt", "E5", "", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"fmt", "1 E5", "", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"fmt", "-", "", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"fmt", "", "", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"fmt", "1E999999999", "", "1E+999999999", 0},
    // A tenth exponent digit is ignored and reported.
    {"add", "1E1234567890", "0", "1E+123456789", ERR_NUMERIC_OVERFLOW},
    {"mul", "1E999999999", "1E1", "1E+1000000000", ERR_NUMERIC_OVERFLOW},
    {"add", "abc", "1", "", ERR_INVALID_NUMBER_ARGUMENT},
    // Comparison.
    {"cmp", "1e5", "100000", "0", 0},
    {"cmp", "abc", "abd", "-1", 0},
    {"cmp", "abc", "  abc ", "0", 0},
    {"cmp", "10", "9.99", "1", 0},
    {"cmp", "0", "-0", "0", 0},
    {"cmp", "-5", "3", "-1", 0},
    {"cmp", "2", "-3", "1", 0},
    {"cmp", "ab", "abc", "-1", 0},
    // Multiplication keeps eight limbs: here 30 digits.
    {"mul", "11111111111111111", "99999999999999999", "1.11111111111111108888888888889E+33", 0},
    {"mul", "1.5", "2", "3.0", 0},
    {"mul", "9999", "9999", "99980001", 0},
    {"mul", "-0.5", "0", "0", 0},
    // Division.
    {"div", "10", "4", "2.5", 0},
    {"div", "4", "2", "2", 0},
    {"div", "6.0", "2", "3", 0},  // an exact quotient has no trailing zeros
    {"div", "1", "3", "0.33333333333333333333333333333333", 0},
    {"div", "2", "3", "0.66666666666666666666666666666667", 0},
    {"div", "1", "0", "", ERR_DIVIDE_BY_ZERO},
    {"div", "0", "0.00", "", ERR_DIVIDE_BY_ZERO},
    {"div", "x", "0", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"idiv", "-7", "2", "-3", 0},
    {"idiv", "7", "-2", "-3", 0},
    {"idiv", "7.9", "2", "3", 0},
    {"idiv", "1E40", "3", "3.3333333333333333333333333333333E+39", 0},
    {"mod", "-7", "2", "-1", 0},
    {"mod", "7", "-2", "-1", 0},
    {"mod", "-7", "-2", "1", 0},
    {"mod", "7.50", "2", "1.5", 0},
    {"mod", "1E40", "3", "1", 0},
    {"mod", "1E200", "7", "", ERR_NUMERIC_OVERFLOW},
    {"mod", "3", "0", "", ERR_DIVIDE_BY_ZERO},
    // Power.
    {"pow", "2", "10", "1024", 0},
    {"pow", "2", "-1", "0.5", 0},
    {"pow", "2", "1.5", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"pow", "2", "2.0", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"pow", "2", "1E1", "", ERR_INVALID_NUMBER_ARGUMENT},
    {"pow", "0", "0", "1", 0},
    {"pow", "0", "-2", "", ERR_DIVIDE_BY_ZERO},
    {"pow", "-3", "3", "-27", 0},
    {"pow", "1E999999999", "2", "1E+1999999998", ERR_NUMERIC_OVERFLOW},
    {"pow", "10", "40", "1.0000000000000000000000000000E+40", 0},  // squares keep their zeros
    // Integer conversion honours the point and the exponent (mended).
    {"toint", "12.5", "", "12", 0},
    {"toint", "-12.9", "", "-12", 0},
    {"toint", "1E3", "", "1000", 0},
    {"toint", "1.5E1", "", "15", 0},
    {"toint", "4294967295", "", "-1", 0},
    {"toint", "2147483648", "", "-2147483648", 0},
    {"toint", "1E12", "", "0", 0},
    {"toint", "1000000000007", "", "7", 0},
    {"toint", "0.9", "", "0", 0},
    {"toint", "abc", "", "", ERR_INVALID_NUMBER_ARGUMENT},
    // Bit operations.
    {"and", "12", "10", "8", 0},
    {"or", "12", "10", "14", 0},
    {"xor", "12", "10", "6", 0},
    {"shl", "1", "33", "2", 0},
    {"shl", "1", "31", "-2147483648", 0},
    {"shr", "-8", "1", "-4", 0},
    {"not", "0", "", "-1", 0},
    {"and", "1.5E1", "7", "7", 0},
    {"xor", "1", "x", "", ERR_INVALID_NUMBER_ARGUMENT},
};

TEST(Decimal, DocumentedCases) {
  for (const Case& c : kCases) {
    Result r = run(c.op, c.a, c.b);
    EXPECT_EQ(r.code, c.code) << c.op << " [" << c.a << "] [" << c.b << "]";
    if (c.code == 0 || c.code == ERR_NUMERIC_OVERFLOW) {
      EXPECT_EQ(r.text, c.text) << c.op << " [" << c.a << "] [" << c.b << "]";
    }
  }
}

TEST(Decimal, MissingOperandMeansOne) {
  DecText t;
  EXPECT_EQ(dec_add_sub_cmp(&t, "41", std::nullopt, 0), 0);
  EXPECT_EQ(t.view(), "42");
  EXPECT_EQ(dec_add_sub_cmp(&t, "0.5", std::nullopt, 1), 0);
  EXPECT_EQ(t.view(), "-0.5");
}

TEST(Decimal, IsNumber) {
  EXPECT_TRUE(dec_is_number(" - 7 "));
  EXPECT_TRUE(dec_is_number("1.5e-3"));
  EXPECT_FALSE(dec_is_number("5."));
  EXPECT_FALSE(dec_is_number(""));
  EXPECT_FALSE(dec_is_number("1E1234567890"));  // its exponent overflows
}

TEST(Decimal, ParseRecord) {
  DecNumber x;
  ASSERT_EQ(dec_parse("-1234567.89", &x), 0);
  EXPECT_EQ(x.sign, -1);
  EXPECT_EQ(x.exponent, -2);
  EXPECT_EQ(x.limbs[0], 6789u);
  EXPECT_EQ(x.limbs[1], 2345u);
  EXPECT_EQ(x.limbs[2], 1u);
  // A smaller precision drops digits without rounding.
  ASSERT_EQ(dec_parse("12399", &x, 3), 0);
  EXPECT_EQ(x.limbs[0], 123u);
  EXPECT_EQ(x.exponent, 2);
  bool ovf = false;
  ASSERT_EQ(dec_parse("1E-999999999", &x, DEC_PRECISION, &ovf), 0);
  EXPECT_FALSE(ovf);
  ASSERT_EQ(dec_parse("0.1E-999999999", &x, DEC_PRECISION, &ovf), 0);
  EXPECT_TRUE(ovf);
}

}  // namespace
