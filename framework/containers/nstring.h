// The framework string: owned, NUL-terminated 8-bit text (code page 932 bytes; nothing
// here interprets characters). The length is not stored: it is strlen of the text.
#pragma once

#include <cstdint>
#include <type_traits>

namespace NVireo::NString {

// Only BBasic<char> exists; its members are compiled once, in nstring.cpp.
template <typename C>
class BBasic {
    static_assert(std::is_same_v<C, char>, "the framework string holds char text only");

public:
    // Format and AppendFormat keep at most this many characters.
    static constexpr uint32_t kFormatLimit = 1024;

    C* text = nullptr;      // null for a string never given text
    uint32_t capacity = 0;  // bytes allocated, terminator included

    BBasic() = default;
    explicit BBasic(const C* initial);
    BBasic(const BBasic& other);
    BBasic(BBasic&& other) noexcept;
    BBasic& operator=(const BBasic& other);
    BBasic& operator=(BBasic&& other) noexcept;
    ~BBasic();

    uint32_t Length() const;
    // The text, or "" for a null string.
    const C* c_str() const;

    // Replaces the text with length bytes; null bytes leave the string null.
    void Assign(const C* bytes, uint32_t length);
    // Adds length bytes at the end. Storage grows to exactly the size needed.
    void Append(const C* bytes, uint32_t length);
    void AppendChar(C c);
    // The new text is prefix followed by the old text.
    void Prepend(const C* prefix);
    // Replaces the text with printf-style output, cut to kFormatLimit characters.
    void Format(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends printf-style output, cut to kFormatLimit characters.
    void AppendFormat(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Appends a, b and c in order; a null text adds nothing.
    void Concat3(const C* a, const C* b, const C* c);
    // Removes count characters from position (count -1: through the end). A range
    // outside the text is a fatal error; if the error report returns, nothing changes.
    void Erase(int32_t position, int32_t count);
    // Exact byte equality. Null equals only null: an allocated "" differs from null.
    bool Equals(const C* other) const;
    bool Equals(const BBasic& other) const { return Equals(other.text); }

private:
    C* Reserve(uint64_t needed);
};

extern template class BBasic<char>;

}  // namespace NVireo::NString
