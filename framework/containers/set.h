// The ordered set of unique values, kept in a red-black tree.
#pragma once

#include "framework/containers/functional.h"
#include "framework/containers/rb_tree.h"

namespace hoard::set {

template <typename T, typename Compare = functional::less<T>>
class basic : public tree::rb::basic<T, Compare> {
public:
    bool Contains(const T& value) const { return this->Find(value) != nullptr; }
};

}  // namespace hoard::set
