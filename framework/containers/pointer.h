// Owning pointers: base holds the pointee, basic owns it, auton adds a virtual
// destructor so an owner can itself be handled and destroyed through a base class.
#pragma once

namespace hoard::ptr {

// Holds a pointee without owning it; the owning classes below build on it.
template <typename T>
class base {
public:
    T* pointee = nullptr;  // may be null

    base(const base&) = delete;
    base& operator=(const base&) = delete;

    T* Get() const { return pointee; }

protected:
    base() = default;
    explicit base(T* initial) : pointee(initial) {}
    ~base() = default;
};

// Owns its pointee and deletes it when replaced or destroyed.
template <typename T>
class basic : public base<T> {
public:
    basic() = default;
    explicit basic(T* initial) : base<T>(initial) {}
    ~basic() { Reset(nullptr); }

    // Deletes the old pointee (if any) and stores the new one. Handing back the pointee
    // already held changes nothing: deleting it would leave the owner dangling.
    void Reset(T* newPointee) {
        if (newPointee == this->pointee) return;
        delete this->pointee;
        this->pointee = newPointee;
    }
};

// The owner to use for polymorphic pointees: deleting the pointee runs the pointee's
// virtual destructor, and the owner's own destructor is virtual as well.
template <typename T>
class auton : public basic<T> {
public:
    auton() = default;
    explicit auton(T* initial) : basic<T>(initial) {}
    virtual ~auton() { this->Reset(nullptr); }
};

}  // namespace hoard::ptr
