// A red-black tree of unique values: the storage behind the ordered set.
#pragma once

#include <cstdint>
#include <utility>

#include "framework/containers/functional.h"

namespace hoard::tree::rb {

template <typename T>
struct node {
    T value;
    node* parent;
    node* left;
    node* right;
    bool black;  // a new node is red; the root is always black
};

// Values are kept in Compare order, each at most once. Node pointers stay valid until
// their value is erased, with one exception: erasing a value whose node has two
// children moves the in-order predecessor's value into that node and frees the
// predecessor's node instead.
template <typename T, typename Compare = functional::less<T>>
class basic {
public:
    using node_type = node<T>;

    int32_t count = 0;
    node_type* root = nullptr;
    node_type* leftmost = nullptr;   // the smallest value
    node_type* rightmost = nullptr;  // the largest value

    // Walks the values in order; a range-for over the tree uses it.
    class iterator {
    public:
        explicit iterator(const node_type* at) : current(at) {}
        const T& operator*() const { return current->value; }
        iterator& operator++() {
            current = Next(current);
            return *this;
        }
        bool operator==(const iterator&) const = default;

    private:
        const node_type* current;
    };

    basic() = default;
    basic(const basic&) = delete;
    basic& operator=(const basic&) = delete;
    ~basic() { Clear(); }

    iterator begin() const { return iterator(leftmost); }
    iterator end() const { return iterator(nullptr); }

    // Adds a copy of value. Returns its node, or null when an equal value is present.
    // An allocation failure propagates as std::bad_alloc and leaves the tree unchanged.
    node_type* Insert(const T& value) {
        node_type* parent = nullptr;
        node_type** link = &root;
        bool smallest = true;
        bool largest = true;
        while (*link) {
            parent = *link;
            if (Less(value, parent->value)) {
                link = &parent->left;
                largest = false;
            } else if (Less(parent->value, value)) {
                link = &parent->right;
                smallest = false;
            } else {
                return nullptr;
            }
        }
        node_type* added = new node_type{value, parent, nullptr, nullptr, false};
        *link = added;
        if (smallest) leftmost = added;
        if (largest) rightmost = added;
        ++count;
        FixAfterInsert(added);
        return added;
    }

    // Removes the value equal to value. Returns false when there is none.
    bool Erase(const T& value) {
        node_type* doomed = Find(value);
        if (!doomed) return false;
        --count;
        if (doomed->left && doomed->right) {
            node_type* predecessor = Extreme(doomed->left, true);
            doomed->value = std::move(predecessor->value);
            doomed = predecessor;
        }
        // doomed now has at most one child, which takes its place.
        node_type* child = doomed->left ? doomed->left : doomed->right;
        node_type* parent = doomed->parent;
        if (doomed == leftmost) leftmost = doomed->right ? Extreme(doomed->right, false) : parent;
        if (doomed == rightmost) rightmost = doomed->left ? Extreme(doomed->left, true) : parent;
        if (child) child->parent = parent;
        ReplaceChild(parent, doomed, child);
        const bool wasBlack = doomed->black;
        delete doomed;
        if (wasBlack) FixAfterErase(child, parent);
        return true;
    }

    node_type* Find(const T& value) const {
        node_type* at = root;
        while (at) {
            if (Less(value, at->value)) {
                at = at->left;
            } else if (Less(at->value, value)) {
                at = at->right;
            } else {
                return at;
            }
        }
        return nullptr;
    }

    void Clear() {
        Free(root);
        count = 0;
        root = leftmost = rightmost = nullptr;
    }

    // The node holding the next larger value, or null after the largest.
    static node_type* Next(const node_type* at) {
        if (at->right) return Extreme(at->right, false);
        const node_type* child = at;
        node_type* parent = at->parent;
        while (parent && child == parent->right) {
            child = parent;
            parent = parent->parent;
        }
        return parent;
    }

private:
    static bool Less(const T& a, const T& b) { return Compare{}(a, b); }
    static bool IsRed(const node_type* at) { return at && !at->black; }
    static node_type*& Side(node_type* at, bool right) { return right ? at->right : at->left; }

    // The last node going down one side: the largest (right) or smallest value below at.
    static node_type* Extreme(node_type* at, bool right) {
        while (Side(at, right)) at = Side(at, right);
        return at;
    }

    static void Free(node_type* at) {
        if (!at) return;
        Free(at->left);
        Free(at->right);
        delete at;
    }

    // Points the link that held old (in parent, or the root) at replacement.
    void ReplaceChild(node_type* parent, const node_type* old, node_type* replacement) {
        if (!parent) {
            root = replacement;
        } else if (parent->left == old) {
            parent->left = replacement;
        } else {
            parent->right = replacement;
        }
    }

    // Moves at down to its right (or left) side; the child on the other side rises.
    void Rotate(node_type* at, bool right) {
        node_type* risen = Side(at, !right);
        node_type* moved = Side(risen, right);
        Side(at, !right) = moved;
        if (moved) moved->parent = at;
        risen->parent = at->parent;
        ReplaceChild(at->parent, at, risen);
        Side(risen, right) = at;
        at->parent = risen;
    }

    void FixAfterInsert(node_type* at) {
        // A red parent is never the root, so the grandparent exists.
        while (IsRed(at->parent)) {
            node_type* parent = at->parent;
            node_type* grand = parent->parent;
            const bool parentRight = parent == grand->right;
            node_type* uncle = Side(grand, !parentRight);
            if (IsRed(uncle)) {
                parent->black = true;
                uncle->black = true;
                grand->black = false;
                at = grand;
                continue;
            }
            if (at == Side(parent, !parentRight)) {
                // Bring the inner grandchild to the outside first.
                Rotate(parent, parentRight);
                at = parent;
                parent = at->parent;
            }
            parent->black = true;
            grand->black = false;
            Rotate(grand, !parentRight);
            break;
        }
        root->black = true;
    }

    // at replaced a removed black node below parent and is one black short; at may be null.
    void FixAfterErase(node_type* at, node_type* parent) {
        while (at != root && !IsRed(at)) {
            // The sibling exists: its side still has at least one black node.
            const bool atRight = at == parent->right;
            node_type* sibling = Side(parent, !atRight);
            if (IsRed(sibling)) {
                sibling->black = true;
                parent->black = false;
                Rotate(parent, atRight);
                sibling = Side(parent, !atRight);
            }
            if (!IsRed(sibling->left) && !IsRed(sibling->right)) {
                sibling->black = false;
                at = parent;
                parent = at->parent;
                continue;
            }
            if (!IsRed(Side(sibling, !atRight))) {
                // Only the near nephew is red: turn it into the far one.
                Side(sibling, atRight)->black = true;
                sibling->black = false;
                Rotate(sibling, !atRight);
                sibling = Side(parent, !atRight);
            }
            sibling->black = parent->black;
            parent->black = true;
            Side(sibling, !atRight)->black = true;
            Rotate(parent, atRight);
            at = root;
        }
        if (at) at->black = true;
    }
};

}  // namespace hoard::tree::rb
