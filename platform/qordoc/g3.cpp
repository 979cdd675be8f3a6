// CCITT Group 3 one-dimensional coding (T.4 modified Huffman) of fax pages, as TIFF Class F
// stores it with T4Options 4 (GROUP3OPT_FILLBITS):
//
// every row is an EOL (000000000001) padded with zero bits before it so that it ends on a byte
// boundary, then the row's runs, white and black in turn from a white run (0 when the row starts
// black), each a makeup code (multiples of 64; 2560 repeated for longer runs) and a terminating
// code (0..63). After the last row, zero bits to the byte (no RTC, as libtiff writes it). Bits are produced most significant first and stored least significant bit
// first (FillOrder 2). The bytes are the ones libtiff's own encoder makes for the same page.
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "qordoc.h"
#include "qordoc_internal.h"

namespace qordoc {

namespace {

struct Code {
    uint16_t bits;
    uint8_t length;
};

// Terminating codes 0..63, then makeup codes 64..1728 (index 63 + run / 64).
constexpr Code kWhite[] = {
    {0x35, 8}, {0x07, 6}, {0x07, 4}, {0x08, 4}, {0x0B, 4}, {0x0C, 4}, {0x0E, 4}, {0x0F, 4},
    {0x13, 5}, {0x14, 5}, {0x07, 5}, {0x08, 5}, {0x08, 6}, {0x03, 6}, {0x34, 6}, {0x35, 6},
    {0x2A, 6}, {0x2B, 6}, {0x27, 7}, {0x0C, 7}, {0x08, 7}, {0x17, 7}, {0x03, 7}, {0x04, 7},
    {0x28, 7}, {0x2B, 7}, {0x13, 7}, {0x24, 7}, {0x18, 7}, {0x02, 8}, {0x03, 8}, {0x1A, 8},
    {0x1B, 8}, {0x12, 8}, {0x13, 8}, {0x14, 8}, {0x15, 8}, {0x16, 8}, {0x17, 8}, {0x28, 8},
    {0x29, 8}, {0x2A, 8}, {0x2B, 8}, {0x2C, 8}, {0x2D, 8}, {0x04, 8}, {0x05, 8}, {0x0A, 8},
    {0x0B, 8}, {0x52, 8}, {0x53, 8}, {0x54, 8}, {0x55, 8}, {0x24, 8}, {0x25, 8}, {0x58, 8},
    {0x59, 8}, {0x5A, 8}, {0x5B, 8}, {0x4A, 8}, {0x4B, 8}, {0x32, 8}, {0x33, 8}, {0x34, 8},
    // 64 .. 1728
    {0x1B, 5}, {0x12, 5}, {0x17, 6}, {0x37, 7}, {0x36, 8}, {0x37, 8}, {0x64, 8}, {0x65, 8},
    {0x68, 8}, {0x67, 8}, {0xCC, 9}, {0xCD, 9}, {0xD2, 9}, {0xD3, 9}, {0xD4, 9}, {0xD5, 9},
    {0xD6, 9}, {0xD7, 9}, {0xD8, 9}, {0xD9, 9}, {0xDA, 9}, {0xDB, 9}, {0x98, 9}, {0x99, 9},
    {0x9A, 9}, {0x18, 6}, {0x9B, 9},
};
constexpr Code kBlack[] = {
    {0x37, 10}, {0x02, 3},  {0x03, 2},  {0x02, 2},  {0x03, 3},  {0x03, 4},  {0x02, 4},  {0x03, 5},
    {0x05, 6},  {0x04, 6},  {0x04, 7},  {0x05, 7},  {0x07, 7},  {0x04, 8},  {0x07, 8},  {0x18, 9},
    {0x17, 10}, {0x18, 10}, {0x08, 10}, {0x67, 11}, {0x68, 11}, {0x6C, 11}, {0x37, 11}, {0x28, 11},
    {0x17, 11}, {0x18, 11}, {0xCA, 12}, {0xCB, 12}, {0xCC, 12}, {0xCD, 12}, {0x68, 12}, {0x69, 12},
    {0x6A, 12}, {0x6B, 12}, {0xD2, 12}, {0xD3, 12}, {0xD4, 12}, {0xD5, 12}, {0xD6, 12}, {0xD7, 12},
    {0x6C, 12}, {0x6D, 12}, {0xDA, 12}, {0xDB, 12}, {0x54, 12}, {0x55, 12}, {0x56, 12}, {0x57, 12},
    {0x64, 12}, {0x65, 12}, {0x52, 12}, {0x53, 12}, {0x24, 12}, {0x37, 12}, {0x38, 12}, {0x27, 12},
    {0x28, 12}, {0x58, 12}, {0x59, 12}, {0x2B, 12}, {0x2C, 12}, {0x5A, 12}, {0x66, 12}, {0x67, 12},
    // 64 .. 1728
    {0x0F, 10}, {0xC8, 12}, {0xC9, 12}, {0x5B, 12}, {0x33, 12}, {0x34, 12}, {0x35, 12}, {0x6C, 13},
    {0x6D, 13}, {0x4A, 13}, {0x4B, 13}, {0x4C, 13}, {0x4D, 13}, {0x72, 13}, {0x73, 13}, {0x74, 13},
    {0x75, 13}, {0x76, 13}, {0x77, 13}, {0x52, 13}, {0x53, 13}, {0x54, 13}, {0x55, 13}, {0x5A, 13},
    {0x5B, 13}, {0x64, 13}, {0x65, 13},
};
// Makeup codes of both colours for 1792 .. 2560.
constexpr Code kExtended[] = {
    {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12}, {0x14, 12}, {0x15, 12},
    {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12},
};
static_assert(sizeof kWhite / sizeof kWhite[0] == 64 + 27 && sizeof kBlack / sizeof kBlack[0] == 64 + 27);

constexpr int kMaxRun = 2560;

// The bits of a code in the order they are stored: the first bit of the code in the least
// significant place (FillOrder 2), so codes are joined by shifting left.
constexpr uint32_t stored(uint32_t bits, int length) {
    uint32_t r = 0;
    for (int k = 0; k < length; ++k) r |= ((bits >> (length - 1 - k)) & 1u) << k;
    return r;
}

// The whole code of a run of 0..2560 (makeup then terminating) as stored, at most 25 bits,
// shifted left by 5 over its length: one load a run.
using RunCodes = std::array<uint32_t, kMaxRun + 1>;

RunCodes runCodes(const Code* table) {
    RunCodes r{};
    for (int run = 0; run <= kMaxRun; ++run) {
        uint32_t bits = 0;
        int length = 0;
        if (run >= 64) {
            const int m = run / 64;
            const Code c = m <= 27 ? table[63 + m] : kExtended[m - 28];
            bits = stored(c.bits, c.length);
            length = c.length;
        }
        const Code t = table[run % 64];
        bits |= stored(t.bits, t.length) << length;
        length += t.length;
        r[static_cast<std::size_t>(run)] = (bits << 5) | static_cast<uint32_t>(length);
    }
    return r;
}

const RunCodes& whiteCodes() {
    static const RunCodes r = runCodes(kWhite);
    return r;
}
const RunCodes& blackCodes() {
    static const RunCodes r = runCodes(kBlack);
    return r;
}

// Codes joined least significant bit first, stored 32 bits at a time into a buffer that the
// caller empties (take) before it can overflow.
class BitWriter {
public:
    explicit BitWriter(uint8_t* buffer) : start_(buffer), out_(buffer) {}
    void put(uint32_t bits, int length) {
        acc_ |= static_cast<uint64_t>(bits) << count_;
        count_ += length;
        total_ += static_cast<uint64_t>(length);
        if (count_ >= 32) {
            const uint32_t word = static_cast<uint32_t>(acc_);
            for (int k = 0; k < 4; ++k) out_[k] = static_cast<uint8_t>(word >> (8 * k));
            out_ += 4;
            acc_ >>= 32;
            count_ -= 32;
        }
    }
    // An EOL (000000000001) that ends on a byte boundary: zero bits before it as needed.
    void alignedEol() {
        const int pad = static_cast<int>((4 - total_ % 8 + 8) % 8);
        put(stored(1, 12) << pad, 12 + pad);
    }
    // The last bits, with zero bits to the byte.
    void finish() {
        while (count_ > 0) {
            *out_++ = static_cast<uint8_t>(acc_);
            acc_ >>= 8;
            count_ = count_ > 8 ? count_ - 8 : 0;
        }
    }
    // Appends the bytes stored since the last take to `out`; the buffer is empty again.
    void take(std::vector<uint8_t>* out) {
        out->insert(out->end(), start_, out_);
        out_ = start_;
    }

private:
    uint8_t* start_;
    uint8_t* out_;
    uint64_t acc_ = 0;
    int count_ = 0;  // bits in acc_ not yet stored (fewer than 32 between calls)
    uint64_t total_ = 0;
};

inline uint64_t bigEndian64(const uint8_t* p) {
    uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return __builtin_bswap64(v);
}

}  // namespace

void encodeG3(const Page& page, std::vector<uint8_t>* out) {
    const int width = page.width;
    const std::size_t words = (page.stride + 7) / 8;
    std::vector<uint8_t> row(words * 8, 0);  // a row padded with paper to whole words
    const RunCodes& white = whiteCodes();
    const RunCodes& black = blackCodes();
    // The most a row can take: an EOL with its padding, and every pixel a run of one (a
    // makeup of 2560 at most every 2560 pixels), with the bits left from the row before.
    const std::size_t rowBytes = (20 + static_cast<std::size_t>(width) * 12 + 64) / 8 + 16;
    std::vector<uint8_t> buffer(rowBytes);
    out->clear();
    out->reserve(static_cast<std::size_t>(page.height) * 8);
    BitWriter w(buffer.data());
    auto putRun = [&](const RunCodes& codes, int run) {
        for (; run > kMaxRun; run -= kMaxRun) w.put(stored(kExtended[12].bits, kExtended[12].length), kExtended[12].length);
        const uint32_t code = codes[static_cast<std::size_t>(run)];
        w.put(code >> 5, static_cast<int>(code & 31));
    };
    for (int y = 0; y < page.height; ++y) {
        std::memcpy(row.data(), page.row(y), page.stride);
        if (width % 8) row[page.stride - 1] &= static_cast<uint8_t>(0xFF00 >> (width % 8));
        w.alignedEol();
        // Runs found a word at a time: `word` holds pixels i*64.. with the colour of the run
        // being measured as zero bits, those before x cleared.
        int x = 0;
        bool ink = false;  // the colour of the run that starts at x
        std::size_t i = 0;
        uint64_t word = bigEndian64(row.data());
        while (x < width) {
            uint64_t v = word & (~uint64_t{0} >> (x % 64));
            while (v == 0 && ++i < words) {
                word = bigEndian64(row.data() + i * 8);
                if (ink) word = ~word;
                v = word;
            }
            int end = v == 0 ? width : static_cast<int>(i * 64) + __builtin_clzll(v);
            if (end > width) end = width;
            putRun(ink ? black : white, end - x);
            x = end;
            ink = !ink;
            word = ~word;  // the other colour's run: its pixels are now the zero bits
        }
        w.take(out);
    }
    w.finish();
    w.take(out);
}

}  // namespace qordoc
