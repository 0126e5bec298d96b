// Exact, allocation-free replacements for the two printf conversions of the
// map text. The map text of a 249-sample map holds about a million numbers,
// so formatting them through snprintf dominates the export otherwise.
#pragma once

namespace numfmt {

// Longest result of FormatInt: a sign and 19 digits.
constexpr int kMaxIntChars = 20;
// Longest result of FormatFixed13_4: the printf text of the largest double.
constexpr int kMaxFixedChars = 330;

// Writes value as "%lld" would (for an int, the same as "%d") at out and
// returns the end. No NUL is written.
char* FormatInt(char* out, long long value);

// Writes value as "%13.4f" would: fixed point, four decimals rounded from the
// double's exact binary value with ties to even (as glibc does in the default
// rounding mode), right-aligned in 13 characters. Returns the end; no NUL.
char* FormatFixed13_4(char* out, double value);

}  // namespace numfmt
