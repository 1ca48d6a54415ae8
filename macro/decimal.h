// Decimal numbers: the arithmetic of macro values.
//
// Macro values are strings; arithmetic reads them as decimal numbers of at
// most 32 significant digits, computes, and writes the result back as text.
// A DecNumber holds sign × significand × 10^exponent with the significand in
// eight base-10000 limbs. Results are exact where 32 digits suffice and are
// rounded half up (on magnitude) where they do not. Trailing zeros are kept:
// 1.50 stays 1.50 and 0.5 + 0.5 is 1.0.
//
// Rules a caller can see in the text:
// - Parsing keeps the first 32 significant digits and drops the rest without
//   rounding; the first E/e exponent may have up to nine digits.
// - Addition and subtraction align the operands first: the one with the larger
//   exponent is shifted left within its unused digits, the other is rounded
//   half up to the common exponent (or counts as zero when 32 or more digits
//   apart). Adding or subtracting an exact zero returns the other operand as
//   written (1 + 0.00 is 1).
// - Multiplication keeps the highest eight limbs of the product (29 to 32
//   digits, by limb alignment) and rounds up on the first dropped digit.
// - Division mode 0 gives the quotient to 32 digits, rounded half up on the
//   33rd; an exact quotient has no trailing zeros (6.0 / 2 is 3).
//   Mode 1 truncates to an integer; mode 2 gives the remainder without
//   trailing zeros. Quotient and remainder both take the product of the
//   operands' signs (7 by -2 leaves -1).
// - Power multiplies by repeated squaring, each product as in multiplication.
// - dec_to_int applies the decimal point and the exponent and truncates
//   toward zero; then the integer's lowest twelve digits, signed, wrap to 32
//   bits (so 4294967295 is -1 and 12.9 is 12).
//
// Every operation returns 0 or an ErrorCode: ERR_INVALID_NUMBER_ARGUMENT
// (-3009) for an operand that is not a number, ERR_DIVIDE_BY_ZERO (-3017),
// and ERR_NUMERIC_OVERFLOW (-3008) when an exponent's magnitude passes
// 999999999; on -3008 the result text is still written. On -3009 and -3017
// the output is left empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "base/messages.h"

inline constexpr int32_t DEC_PRECISION = 32;  // significant digits
inline constexpr int32_t DEC_LIMBS = 8;       // base-10000 limbs of a significand
inline constexpr int32_t DEC_EXPONENT_MAX = 999999999;

// A parsed number: value = sign × significand × 10^exponent. The limbs are
// least significant first and each below 10000 once normalised; while a sum is
// being formed the top limb may exceed 9999.
struct DecNumber {
  int32_t sign;  // +1 or -1
  uint32_t limbs[DEC_LIMBS];
  int32_t exponent;
};
static_assert(sizeof(DecNumber) == 40, "a DecNumber is ten 32-bit words");

// The text of a result. The longest text is a negative number below 1 with
// 64 places ("-0." and 64 digits); scientific notation is shorter. Laid out
// as an LStr (length word, then bytes).
inline constexpr int32_t DEC_TEXT_CAP = 72;
struct DecText {
  int32_t len = 0;
  char text[DEC_TEXT_CAP];
  std::string_view view() const { return std::string_view(text, static_cast<size_t>(len)); }
};

// Parses s with `precision` significant digits (1..32). Returns 0 when s is a
// number, 1 otherwise (*out is then unspecified). A number whose exponent
// passes 999999999, or whose exponent part has ten or more digits, still
// parses; *overflow (when given) is then set to true (it is never cleared).
int32_t dec_parse(std::string_view s, DecNumber* out, int32_t precision = DEC_PRECISION, bool* overflow = nullptr);

// Writes x as text: "0" for zero; plain notation while the digits fit in 32
// places and no more than 64 places after the point, else d.dddE+x.
// Returns 0 or -3008 when rounding to 32 digits pushed the exponent out of
// range (the text is written all the same).
ErrorCode dec_format(DecText* out, const DecNumber& x);

// op 0: out = a + b; op 1: out = a - b (a missing b means 1). Returns 0,
// -3008 or -3009.
// op 2: compares a with b and returns < 0, 0 or > 0 (out is not used and may
// be null; b must be given). Numbers compare by value (-0 equals 0); when either is not a number
// both are compared as strings with blanks and tabs stripped from both ends,
// bytes unsigned, a prefix first. Never fails.
int32_t dec_add_sub_cmp(DecText* out, std::string_view a, std::optional<std::string_view> b, int op);

ErrorCode dec_mul(DecText* out, std::string_view a, std::string_view b);

// mode 0: quotient to 32 digits; 1: integer quotient; 2: remainder.
// -3009, -3017 for a zero divisor. An integer quotient longer than 32 digits
// keeps its leading 32; mode 2 gives -3008 (and no text) when the quotient is
// so long (over about 120 digits) that the remainder cannot be exact.
ErrorCode dec_div(DecText* out, std::string_view a, std::string_view b, int mode);

// a raised to n; n must be an integer written without fraction or exponent
// (else -3009). n = 0 gives 1; zero to a negative power gives -3017.
ErrorCode dec_power(DecText* out, std::string_view a, std::string_view n);

// Integer value of s for the bit operations (see the header comment).
// -3009 when s is not a number; *out is then 0.
ErrorCode dec_to_int(std::string_view s, int32_t* out);

// Bit operations through 32-bit integers; results are signed decimal text.
// -3009 when an operand is not a number. Shifts use the low five bits of n;
// the right shift is arithmetic.
ErrorCode dec_bit_and_or(DecText* out, std::string_view a, std::string_view b, bool is_or);
ErrorCode dec_bit_xor(DecText* out, std::string_view a, std::string_view b);
ErrorCode dec_shift(DecText* out, std::string_view a, std::string_view n, bool left);
ErrorCode dec_bit_not(DecText* out, std::string_view a);

// True when s is a number and adding 1 to it does not overflow.
bool dec_is_number(std::string_view s);
