// A doubly linked list that owns its elements, each allocated together with its node.
#pragma once

#include <cstdint>
#include <memory>

namespace hoard::list {

template <typename T>
struct node {
    T* element;  // owned
    node* previous;
    node* next;
};

template <typename T>
class basic {
public:
    using node_type = node<T>;

    node_type* last = nullptr;
    node_type* first = nullptr;
    int32_t count = 0;

    // Walks the elements from first to last; a range-for over the list uses it.
    template <typename V>
    class cursor {
    public:
        explicit cursor(const node_type* at) : current(at) {}
        V& operator*() const { return *current->element; }
        cursor& operator++() {
            current = current->next;
            return *this;
        }
        bool operator==(const cursor&) const = default;

    private:
        const node_type* current;
    };

    basic() = default;
    basic(const basic&) = delete;
    basic& operator=(const basic&) = delete;
    ~basic() { Clear(); }

    cursor<T> begin() { return cursor<T>(first); }
    cursor<T> end() { return cursor<T>(nullptr); }
    cursor<const T> begin() const { return cursor<const T>(first); }
    cursor<const T> end() const { return cursor<const T>(nullptr); }

    // Adds a default-constructed element after the last one and returns it. An
    // allocation failure propagates as std::bad_alloc and leaves the list unchanged.
    T& AppendNew() {
        auto element = std::make_unique<T>();
        node_type* added = new node_type{element.get(), last, nullptr};
        element.release();
        (last ? last->next : first) = added;
        last = added;
        ++count;
        return *added->element;
    }

    // Unlinks and destroys the first element; does nothing on an empty list. It keeps
    // count itself, so callers must not decrement it.
    void PopFront() {
        node_type* popped = first;
        if (!popped) return;
        first = popped->next;
        if (first) {
            first->previous = nullptr;
        } else {
            last = nullptr;
        }
        --count;
        delete popped->element;
        delete popped;
    }

    void Clear() {
        while (first) PopFront();
    }
};

}  // namespace hoard::list
