// Free-format number reader: one number from the first N characters of a
// string typed by the user.  Status 0: a number was read (also for a field of
// blanks only, which reads as 0); status 1: syntax error, the result is 0.
#pragma once

#include <string_view>

namespace qvlib {

// Optional sign and digits.
int RDSINT(std::string_view STR, int N, int& IVAL);
// Optional sign, digits with at most one decimal point.
int RDFIX(std::string_view STR, int N, float& RVAL);
// An RDFIX mantissa, optionally followed by e, E, d or D and an RDSINT exponent.
int RDREAL(std::string_view STR, int N, float& RVAL);

}  // namespace qvlib
