#include "framework/containers/nstring.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <utility>

#include "framework/error/error.h"
#include "framework/error/sites.h"

namespace Site = NVireo::NError::NSite::NString;

namespace NVireo::NString {

namespace {

// Sizes are kept in 32 bits; a text that would not fit cannot be allocated.
uint32_t CheckedSize(uint64_t bytes) {
    if (bytes > UINT32_MAX) throw std::bad_alloc();
    return static_cast<uint32_t>(bytes);
}

}  // namespace

template <typename C>
BBasic<C>::BBasic(const C* initial) {
    if (initial) Assign(initial, CheckedSize(std::strlen(initial)));
}

template <typename C>
BBasic<C>::BBasic(const BBasic& other) {
    Assign(other.text, other.Length());
}

template <typename C>
BBasic<C>::BBasic(BBasic&& other) noexcept
    : text(std::exchange(other.text, nullptr)), capacity(std::exchange(other.capacity, 0)) {}

template <typename C>
BBasic<C>& BBasic<C>::operator=(const BBasic& other) {
    if (this != &other) Assign(other.text, other.Length());
    return *this;
}

template <typename C>
BBasic<C>& BBasic<C>::operator=(BBasic&& other) noexcept {
    if (this != &other) {
        delete[] text;
        text = std::exchange(other.text, nullptr);
        capacity = std::exchange(other.capacity, 0);
    }
    return *this;
}

template <typename C>
BBasic<C>::~BBasic() {
    delete[] text;
}

template <typename C>
uint32_t BBasic<C>::Length() const {
    return text ? static_cast<uint32_t>(std::strlen(text)) : 0;
}

template <typename C>
const C* BBasic<C>::c_str() const {
    return text ? text : "";
}

// The new storage is filled before the old is freed, so bytes may point into the text.
template <typename C>
void BBasic<C>::Assign(const C* bytes, uint32_t length) {
    C* replacement = nullptr;
    uint32_t size = 0;
    if (bytes) {
        size = CheckedSize(uint64_t{length} + 1);
        replacement = new C[size]();
        std::memcpy(replacement, bytes, length);
        replacement[length] = '\0';
    }
    delete[] text;
    text = replacement;
    capacity = size;
}

// Makes room for needed bytes (terminator included), keeping the text. When the
// storage has to grow it allocates exactly needed bytes and returns the old storage:
// the caller frees it after copying, since the bytes being added may live there.
template <typename C>
C* BBasic<C>::Reserve(uint64_t needed) {
    if (capacity >= needed) return nullptr;
    const uint32_t size = CheckedSize(needed);
    C* grown = new C[size]();
    if (text) std::memcpy(grown, text, std::strlen(text) + 1);
    capacity = size;
    return std::exchange(text, grown);
}

template <typename C>
void BBasic<C>::Append(const C* bytes, uint32_t length) {
    if (!bytes) return;
    const uint32_t used = Length();
    std::unique_ptr<C[]> old(Reserve(uint64_t{used} + length + 1));
    std::memmove(text + used, bytes, length);
    text[used + length] = '\0';
}

template <typename C>
void BBasic<C>::AppendChar(C c) {
    Append(&c, 1);
}

template <typename C>
void BBasic<C>::Prepend(const C* prefix) {
    if (!prefix) return;
    const size_t added = std::strlen(prefix);
    const uint32_t used = Length();
    const uint32_t size = CheckedSize(uint64_t{added} + used + 1);
    C* joined = new C[size]();
    std::memcpy(joined, prefix, added);
    if (text) std::memcpy(joined + added, text, used);
    delete[] text;
    text = joined;
    capacity = size;
}

template <typename C>
void BBasic<C>::Format(const char* format, ...) {
    // Formatted into new storage first: the arguments may point into the old text.
    C* formatted = new C[kFormatLimit + 1]();
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(formatted, kFormatLimit + 1, format, arguments);
    va_end(arguments);
    delete[] text;
    text = formatted;
    capacity = kFormatLimit + 1;
}

template <typename C>
void BBasic<C>::AppendFormat(const char* format, ...) {
    C formatted[kFormatLimit + 1] = {};
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(formatted, sizeof formatted, format, arguments);
    va_end(arguments);
    Append(formatted, static_cast<uint32_t>(std::strlen(formatted)));
}

// The part lengths are taken before anything is copied: a part may point into the text,
// and copying writes only past the old end, so the bytes read stay as they were.
template <typename C>
void BBasic<C>::Concat3(const C* a, const C* b, const C* c) {
    if (!a && !b && !c) return;
    const C* parts[] = {a, b, c};
    size_t lengths[3] = {};
    const uint32_t used = Length();
    uint64_t needed = uint64_t{used} + 1;
    for (int i = 0; i < 3; ++i) {
        lengths[i] = parts[i] ? std::strlen(parts[i]) : 0;
        needed += lengths[i];
    }
    std::unique_ptr<C[]> old(Reserve(needed));
    C* end = text + used;
    for (int i = 0; i < 3; ++i) {
        if (parts[i]) std::memmove(end, parts[i], lengths[i]);
        end += lengths[i];
    }
    *end = '\0';
}

template <typename C>
void BBasic<C>::Erase(int32_t position, int32_t count) {
    const int64_t used = Length();
    const int64_t removed = count == -1 ? used - position : count;
    if (position < 0 || position > used || removed < 0 || position + removed > used) {
        Raise(NError::kSite, Site::kEraseRange, "String erase range lies outside the text");
        return;
    }
    if (removed == 0) return;
    std::memmove(text + position, text + position + removed,
                 static_cast<size_t>(used - position - removed + 1));
}

template <typename C>
bool BBasic<C>::Equals(const C* other) const {
    if (!text || !other) return text == other;
    return std::strcmp(text, other) == 0;
}

template class BBasic<char>;

}  // namespace NVireo::NString
