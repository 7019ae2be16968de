// The ids of every text the program takes from its two string tables, in one list per
// table. Code names a text by its constant here (never by a bare number), and the tests
// walk these lists to make sure the built package holds every one of them.
#pragma once

#include <cstdint>

// X(name, id) for each text of the application table (Program/String/Strings.pd).
#define SE_APPLICATION_STRINGS(X) \
    X(ProductName, 0)             \
    X(CompanyName, 3)             \
    X(VersionText, 4)

// X(name, id) for each text of the system table (Program/String/System.pd).
#define SE_SYSTEM_STRINGS(X)      \
    X(ErrorCaption, 5210)         \
    X(ErrorMessage, 5340)         \
    X(SettingsProduct, 11000)     \
    X(SettingsFormat, 11010)      \
    X(SettingsLeft, 11020)        \
    X(SettingsTop, 11030)         \
    X(SettingsMaximised, 11040)   \
    X(SettingsClientWidth, 11050) \
    X(SettingsClientHeight, 11060) \
    X(StartingPlaceholder, 100000)

namespace StringId {
#define SE_STRING_ID_CONSTANT(name, id) inline constexpr uint32_t name = id;
namespace Application {
SE_APPLICATION_STRINGS(SE_STRING_ID_CONSTANT)
}
namespace System {
SE_SYSTEM_STRINGS(SE_STRING_ID_CONSTANT)
}
#undef SE_STRING_ID_CONSTANT

#define SE_STRING_ID_VALUE(name, id) id,
inline constexpr uint32_t kApplicationIds[] = {SE_APPLICATION_STRINGS(SE_STRING_ID_VALUE)};
inline constexpr uint32_t kSystemIds[] = {SE_SYSTEM_STRINGS(SE_STRING_ID_VALUE)};
#undef SE_STRING_ID_VALUE
}  // namespace StringId
