#pragma once
// A report that cannot be made: the text says what is missing or wrong.
#include <stdexcept>

class EReportError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
