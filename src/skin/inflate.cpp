#include "skin/inflate.h"

#include <cstring>
#include <memory>
#include <new>

namespace {

constexpr unsigned kMaxCodeBits = 15;
constexpr unsigned kLitLenSymbols = 288; // 286 and 287 have codes but no meaning
constexpr unsigned kDistSymbols = 32;    // likewise 30 and 31
constexpr unsigned kEndOfBlock = 256;

constexpr std::uint16_t kLengthBase[] = {3,  4,  5,  6,   7,   8,   9,   10,  11, 13,
                                         15, 17, 19, 23,  27,  31,  35,  43,  51, 59,
                                         67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t kLengthExtra[] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                         2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t kDistBase[] = {
    1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
    193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t kDistExtra[] = {0, 0, 0, 0, 1, 1, 2, 2,  3,  3,  4,  4,  5,  5,  6,
                                       6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
// The order in which a dynamic block lists the code lengths' own code lengths.
constexpr std::uint8_t kCodeLengthOrder[] = {16, 17, 18, 0, 8,  7, 9,  6, 10, 5,
                                             11, 4,  12, 3, 13, 2, 14, 1, 15};

// Deflate's bits, least significant first. Past the end it reads zeros and
// remembers that it did, so every loop still ends and the caller can refuse.
class BitReader {
public:
    BitReader(const std::uint8_t* data, std::size_t size) noexcept : m_data(data), m_size(size) {}

    std::uint32_t Peek(unsigned count) noexcept
    {
        while (m_count <= 56) {
            const std::uint64_t byte = m_next < m_size ? m_data[m_next] : 0;
            ++m_next;
            m_bits |= byte << m_count;
            m_count += 8;
        }
        return static_cast<std::uint32_t>(m_bits & ((std::uint64_t{1} << count) - 1));
    }
    void Drop(unsigned count) noexcept
    {
        m_bits >>= count;
        m_count -= count;
        m_used += count;
    }
    std::uint32_t Take(unsigned count) noexcept
    {
        const std::uint32_t value = Peek(count);
        Drop(count);
        return value;
    }
    void SkipToByte() noexcept { Take((8 - m_used % 8) % 8); }
    bool Overrun() const noexcept { return m_used > std::uint64_t{m_size} * 8; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_next = 0;
    std::uint64_t m_bits = 0;
    unsigned m_count = 0;
    std::uint64_t m_used = 0;
};

// A canonical Huffman code as one lookup on the next 15 bits.
class HuffmanTable {
public:
    // False for lengths that promise more codes than the bits can hold.
    bool Build(const std::uint8_t* lengths, unsigned count) noexcept
    {
        unsigned perLength[kMaxCodeBits + 1] = {};
        for (unsigned i = 0; i < count; ++i)
            ++perLength[lengths[i]];
        perLength[0] = 0;
        int left = 1;
        unsigned next[kMaxCodeBits + 1] = {};
        for (unsigned bits = 1, code = 0; bits <= kMaxCodeBits; ++bits) {
            left = left * 2 - static_cast<int>(perLength[bits]);
            if (left < 0)
                return false;
            code = (code + perLength[bits - 1]) << 1;
            next[bits] = code;
        }
        std::memset(m_entries, 0, sizeof m_entries);
        for (unsigned symbol = 0; symbol < count; ++symbol) {
            const unsigned bits = lengths[symbol];
            if (bits == 0)
                continue;
            // Codes are sent most significant bit first, into a stream read
            // least significant first: index by the reversed code.
            unsigned code = next[bits]++;
            unsigned reversed = 0;
            for (unsigned i = 0; i < bits; ++i, code >>= 1)
                reversed = (reversed << 1) | (code & 1);
            const auto entry = static_cast<std::uint16_t>(symbol << 4 | bits);
            for (unsigned i = reversed; i < (1u << kMaxCodeBits); i += 1u << bits)
                m_entries[i] = entry;
        }
        return true;
    }

    // The next symbol, or -1 for bits that are no code.
    int Decode(BitReader& in) const noexcept
    {
        const std::uint16_t entry = m_entries[in.Peek(kMaxCodeBits)];
        if (entry == 0)
            return -1;
        in.Drop(entry & 15);
        return entry >> 4;
    }

private:
    std::uint16_t m_entries[1u << kMaxCodeBits];
};

class Inflater {
public:
    Inflater(const std::uint8_t* data, std::size_t size, std::uint8_t* out,
             std::size_t outSize) noexcept
        : m_in(data, size), m_out(out), m_outSize(outSize)
    {
    }

    bool Run() noexcept
    {
        for (bool last = false; !last;) {
            last = m_in.Take(1) != 0;
            bool ok = false;
            switch (m_in.Take(2)) {
            case 0: ok = Stored(); break;
            case 1: ok = Fixed(); break;
            case 2: ok = Dynamic(); break;
            default: break;
            }
            if (!ok || m_in.Overrun())
                return false;
        }
        return m_written == m_outSize;
    }

    // The trailer's checksum follows the last block on a byte boundary.
    std::uint32_t TakeBigEndian32() noexcept
    {
        m_in.SkipToByte();
        std::uint32_t value = 0;
        for (int i = 0; i < 4; ++i)
            value = value << 8 | m_in.Take(8);
        return value;
    }
    bool Overrun() const noexcept { return m_in.Overrun(); }

private:
    bool Stored() noexcept
    {
        m_in.SkipToByte();
        const std::uint32_t length = m_in.Take(16);
        if ((m_in.Take(16) ^ 0xFFFF) != length || length > m_outSize - m_written)
            return false;
        for (std::uint32_t i = 0; i < length; ++i)
            m_out[m_written++] = static_cast<std::uint8_t>(m_in.Take(8));
        return true;
    }

    bool Fixed() noexcept
    {
        std::uint8_t lengths[kLitLenSymbols + kDistSymbols];
        std::memset(lengths, 8, 144);
        std::memset(lengths + 144, 9, 112);
        std::memset(lengths + 256, 7, 24);
        std::memset(lengths + 280, 8, 8);
        std::memset(lengths + kLitLenSymbols, 5, kDistSymbols);
        return m_litLen.Build(lengths, kLitLenSymbols) &&
               m_dist.Build(lengths + kLitLenSymbols, kDistSymbols) && Codes();
    }

    bool Dynamic() noexcept
    {
        const unsigned litLenCount = m_in.Take(5) + 257;
        const unsigned distCount = m_in.Take(5) + 1;
        const unsigned codeLengthCount = m_in.Take(4) + 4;
        if (litLenCount > 286 || distCount > 30)
            return false;
        std::uint8_t lengths[kLitLenSymbols + kDistSymbols] = {};
        for (unsigned i = 0; i < codeLengthCount; ++i)
            lengths[kCodeLengthOrder[i]] = static_cast<std::uint8_t>(m_in.Take(3));
        // The code lengths' own code borrows the literal table until the
        // lengths it describes are read.
        if (!m_litLen.Build(lengths, 19))
            return false;
        std::memset(lengths, 0, 19);
        const unsigned total = litLenCount + distCount;
        for (unsigned i = 0; i < total;) {
            const int symbol = m_litLen.Decode(m_in);
            if (symbol < 0)
                return false;
            if (symbol < 16) {
                lengths[i++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            std::uint8_t repeated = 0;
            unsigned times = 0;
            if (symbol == 16) {
                if (i == 0)
                    return false;
                repeated = lengths[i - 1];
                times = 3 + m_in.Take(2);
            } else if (symbol == 17) {
                times = 3 + m_in.Take(3);
            } else {
                times = 11 + m_in.Take(7);
            }
            if (times > total - i)
                return false;
            std::memset(lengths + i, repeated, times);
            i += times;
        }
        if (lengths[kEndOfBlock] == 0) // a block that could never end
            return false;
        // Lengths before litLenCount are literal/length codes, the rest distances.
        std::uint8_t distLengths[kDistSymbols] = {};
        std::memcpy(distLengths, lengths + litLenCount, distCount);
        std::memset(lengths + litLenCount, 0, distCount);
        return m_litLen.Build(lengths, kLitLenSymbols) && m_dist.Build(distLengths, kDistSymbols) &&
               Codes();
    }

    bool Codes() noexcept
    {
        for (;;) {
            const int symbol = m_litLen.Decode(m_in);
            if (symbol < 0)
                return false;
            if (symbol < 256) {
                if (m_written == m_outSize)
                    return false;
                m_out[m_written++] = static_cast<std::uint8_t>(symbol);
                continue;
            }
            if (symbol == kEndOfBlock)
                return true;
            const unsigned lengthCode = static_cast<unsigned>(symbol) - 257;
            if (lengthCode >= sizeof kLengthBase / sizeof kLengthBase[0])
                return false;
            const std::size_t length =
                kLengthBase[lengthCode] + m_in.Take(kLengthExtra[lengthCode]);
            const int distCode = m_dist.Decode(m_in);
            if (distCode < 0 || distCode >= 30)
                return false;
            const std::size_t distance = kDistBase[distCode] + m_in.Take(kDistExtra[distCode]);
            if (distance > m_written || length > m_outSize - m_written)
                return false;
            // Byte by byte: a copy may overlap the bytes it is making.
            const std::uint8_t* from = m_out + m_written - distance;
            std::uint8_t* to = m_out + m_written;
            for (std::size_t i = 0; i < length; ++i)
                to[i] = from[i];
            m_written += length;
            if (m_in.Overrun())
                return false;
        }
    }

    BitReader m_in;
    std::uint8_t* m_out;
    std::size_t m_outSize;
    std::size_t m_written = 0;
    HuffmanTable m_litLen;
    HuffmanTable m_dist;
};

std::uint32_t Adler32(const std::uint8_t* data, std::size_t size) noexcept
{
    constexpr std::uint32_t kModulus = 65521;
    constexpr std::size_t kRun = 5552; // the longest run whose sums cannot overflow
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    while (size > 0) {
        const std::size_t run = size < kRun ? size : kRun;
        for (std::size_t i = 0; i < run; ++i) {
            a += data[i];
            b += a;
        }
        a %= kModulus;
        b %= kModulus;
        data += run;
        size -= run;
    }
    return b << 16 | a;
}

} // namespace

bool InflateZlib(const std::uint8_t* data, std::size_t size, std::uint8_t* out,
                 std::size_t outSize) noexcept
{
    if (!data || size < 6 || (!out && outSize > 0))
        return false;
    const unsigned method = data[0];
    const unsigned flags = data[1];
    // Deflate with a window of at most 32 KiB, a valid header check, no
    // preset dictionary.
    if ((method & 0x0F) != 8 || (method >> 4) > 7 || (method << 8 | flags) % 31 != 0 ||
        (flags & 0x20) != 0)
        return false;
    // The tables are too large for the stack of every thread.
    const std::unique_ptr<Inflater> inflater(new (std::nothrow)
                                                 Inflater(data + 2, size - 2, out, outSize));
    return inflater && inflater->Run() && inflater->TakeBigEndian32() == Adler32(out, outSize) &&
           !inflater->Overrun();
}
