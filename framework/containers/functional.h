// Comparison objects for the ordered containers.
#pragma once

namespace hoard::functional {

// Orders values with their own operator<. Two values are equal when neither is less.
template <typename T>
struct less {
    bool operator()(const T& a, const T& b) const { return a < b; }
};

}  // namespace hoard::functional
