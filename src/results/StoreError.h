#pragma once
// A store that cannot be used: the text names the store and says why.
#include <stdexcept>
#include <string>

class EStoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
