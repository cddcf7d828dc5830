#pragma once

#include <string_view>

// Message file versions are decimal texts ("1.51"). Every test against a
// threshold works on whole hundredths, so that "1.2" and "1.20" agree and no
// floating-point rounding or locale decides which fields a reader expects.
namespace msgver {

// The version this program writes, as text and in hundredths.
inline constexpr std::string_view kCurrentText = "1.51";
inline constexpr int kCurrent = 151;

// The text as a number of hundredths: leading blanks, an optional sign, digits,
// an optional point and fraction (rounded half up at the third decimal).
// Parsing stops at the first other character; a text without digits is 0.
int Parse(std::string_view text);

} // namespace msgver
