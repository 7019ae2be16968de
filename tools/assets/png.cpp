// PNG files of 8-bit RGBA pictures, written without a compression library: each row is
// filtered with "Sub" (a pixel minus its left neighbour, so flat areas and horizontal
// gradients become runs of zeros), and the rows are deflated in one block of the fixed
// Huffman codes, runs of a repeated byte coded as matches at distance 1.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/assets/assets.h"

namespace NAssets {
namespace {

void PutBigEndian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<uint8_t>(value >> shift));
}

uint32_t Crc32(const uint8_t* bytes, size_t count) {
    static const std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < count; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

uint32_t Adler32(const std::vector<uint8_t>& bytes) {
    uint32_t a = 1, b = 0;
    for (uint8_t byte : bytes) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return b << 16 | a;
}

// Bits into bytes, least significant bit first, as deflate packs them.
class CBits {
public:
    std::vector<uint8_t> bytes;
    // count bits of value, its least significant first (header fields, extra bits).
    void Put(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) PutBit((value >> i) & 1);
    }
    // A Huffman code of count bits, its most significant first.
    void PutCode(uint32_t code, int count) {
        for (int i = count - 1; i >= 0; --i) PutBit((code >> i) & 1);
    }

private:
    void PutBit(uint32_t bit) {
        if (used_ == 0) bytes.push_back(0);
        bytes.back() |= static_cast<uint8_t>(bit << used_);
        used_ = (used_ + 1) % 8;
    }
    int used_ = 0;
};

// A literal byte or length symbol (0-287) in the fixed Huffman code.
void PutSymbol(CBits& bits, int symbol) {
    if (symbol < 144) {
        bits.PutCode(0x30 + symbol, 8);
    } else if (symbol < 256) {
        bits.PutCode(0x190 + symbol - 144, 9);
    } else if (symbol < 280) {
        bits.PutCode(symbol - 256, 7);
    } else {
        bits.PutCode(0xC0 + symbol - 280, 8);
    }
}

// A match of length 3 to 258 at distance 1.
void PutRun(CBits& bits, int length) {
    static const int kBase[] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
    static const int kExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
    int code = 28;
    while (kBase[code] > length) --code;
    PutSymbol(bits, 257 + code);
    bits.Put(static_cast<uint32_t>(length - kBase[code]), kExtra[code]);
    bits.PutCode(0, 5);  // distance code 0: distance 1
}

// A zlib stream of bytes: one final block of fixed Huffman codes.
std::vector<uint8_t> Deflate(const std::vector<uint8_t>& bytes) {
    CBits bits;
    bits.bytes = {0x78, 0x01};  // deflate, 32 KiB window, no dictionary, fastest
    bits.Put(1, 1);             // the last block
    bits.Put(1, 2);             // fixed Huffman codes
    for (size_t i = 0; i < bytes.size();) {
        PutSymbol(bits, bytes[i]);
        size_t run = 0;
        while (i + 1 + run < bytes.size() && run < 258 && bytes[i + 1 + run] == bytes[i]) ++run;
        if (run >= 3) {
            PutRun(bits, static_cast<int>(run));
        } else {
            run = 0;
        }
        i += 1 + run;
    }
    PutSymbol(bits, 256);  // end of block
    PutBigEndian(bits.bytes, Adler32(bytes));
    return bits.bytes;
}

void PutChunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    const size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBigEndian(out, Crc32(out.data() + start, out.size() - start));
}

}  // namespace

std::vector<uint8_t> PngBytes(int width, int height, const std::vector<uint8_t>& rgba) {
    std::vector<uint8_t> header;
    PutBigEndian(header, static_cast<uint32_t>(width));
    PutBigEndian(header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 6, 0, 0, 0});  // 8 bits, RGBA, deflate, filters, plain
    const size_t stride = static_cast<size_t>(width) * 4;
    std::vector<uint8_t> rows;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = rgba.data() + y * stride;
        rows.push_back(1);  // Sub
        for (size_t i = 0; i < stride; ++i) {
            rows.push_back(static_cast<uint8_t>(row[i] - (i >= 4 ? row[i - 4] : 0)));
        }
    }
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutChunk(out, "IHDR", header);
    PutChunk(out, "IDAT", Deflate(rows));
    PutChunk(out, "IEND", {});
    return out;
}

}  // namespace NAssets
