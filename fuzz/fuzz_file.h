// What the file-reading fuzz targets share: the input is written to one temporary file
// per fuzzing process (removed when the process ends), which the reader then opens.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

// Writes the pieces, one after another, to this process's file for `tag`; answers its
// path, or an empty text when it could not be written whole.
inline std::string WriteFuzzFile(const char* tag, std::initializer_list<std::string_view> pieces) {
    static const struct TempFile {
        std::string path = "/tmp/se-fuzz-" + std::to_string(getpid());
        ~TempFile() {
            for (const char* t : {"package", "settings", "strings"})
                std::remove((path + "-" + t).c_str());
        }
    } temp;
    const std::string path = temp.path + "-" + tag;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return {};
    bool written = true;
    for (std::string_view piece : pieces) {
        written = std::fwrite(piece.data(), 1, piece.size(), file) == piece.size() && written;
    }
    return std::fclose(file) == 0 && written ? path : std::string();
}

inline std::string_view Bytes(const uint8_t* data, size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}
