// The stop of a program that asked an error for its value.

#include "Result.h"

#include <cstdio>
#include <cstdlib>

namespace rt {

void valueOfAnError(const Error& error) {
    std::fprintf(stderr, "rt::Result::value() called on error %d (%s)\n", error.number,
                 qPrintable(error.description));
    std::abort();
}

} // namespace rt
