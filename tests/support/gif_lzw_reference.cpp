// The LZW coder as it stood before the child cache: a hash probe for every pixel. The coder in
// src/formats must write exactly its bytes.
#include "gif_lzw_reference.h"

#include <cstring>

namespace lumavex::test {

namespace {

// The largest code the dictionary assigns is 4094: it is cleared when the next one would be
// 4095.
constexpr int kCodeLimit = 4095;
constexpr int kBlockLength = 254;
// No slot left in a probe sequence.
constexpr size_t kNoSlot = ~size_t{0};

// HashSlot split so that the next slot is ready as soon as a slot is read. For a key
// prefix << 8 | c, key ^ key >> 4 is ((prefix << 8) ^ (prefix << 4)) ^ (c ^ c >> 4): the part
// above bit 7 depends on the prefix alone, and the low byte is ((prefix & 15) << 4) ^ c ^ c >> 4.
// So the slot is (high(prefix) + that low byte) mod 8009, with high(prefix) the upper part
// already reduced modulo 8009, and one subtraction does the rest.
struct SlotHighs {
    uint16_t value[4096];
    constexpr SlotHighs() : value()
    {
        for (uint32_t prefix = 0; prefix < 4096; ++prefix)
            value[prefix] =
                static_cast<uint16_t>((((prefix << 8) ^ (prefix << 4)) & ~0xFFu) % kHashSlots);
    }
};
constexpr SlotHighs kSlotHighs;

// The slot of the current string (its code in the low 12 bits of string) plus a pixel, from
// high(code). The low byte of the hash is ((code & 15) ^ pixel >> 4) << 4 | ((pixel ^ pixel >>
// 4) & 15): only four steps follow the lookup that gave the string, the rest waits beside it.
// The sum passes 8008 for about one key in sixty: a branch, not a step of every lookup.
inline uint64_t slotOf(uint64_t high, uint32_t string, uint32_t pixel)
{
    const uint32_t upper = pixel >> 4;
    uint64_t slot = (high + ((pixel ^ upper) & 15)) + uint64_t{(string ^ upper) & 15} * 16;
    if (__builtin_expect(slot >= kHashSlots, 0)) {
        asm("" : "+r"(slot));
        slot -= kHashSlots;
    }
    return slot;
}

// One call of GIFLZWEncode: the pixel walk, the dictionary, the bit packer and the sub-block
// writer. The state of the packer lives in locals of encode(), so that it stays in registers
// from one code to the next.
class LZWEncoder {
public:
    LZWEncoder(OutputStream& out, int height, int width, bool interlaced, const uint8_t* indices,
               int bits)
        : m_out(out), m_width(width), m_height(height), m_interlaced(interlaced), m_indices(indices)
    {
        // The minimum code size is never below 2: one-bit pictures are coded as two-bit ones.
        m_initBits = bits <= 1 ? 3 : bits + 1;
        m_clearCode = 1 << (m_initBits - 1);
        m_endCode = m_clearCode + 1;
    }

    void encode()
    {
        m_out.put(static_cast<uint8_t>(m_initBits - 1));
        int bits = m_initBits;
        int nextCode = 0;
        uint64_t accumulator = 0;  // only the bits not yet written
        int pending = 0;
        int held = 0;
        uint8_t* const block = m_buffer + 1;

        // Appends a code, least significant bit first, at the current width; whole bytes are
        // stored eight at a time.
        auto OutputCode = [&](int code) __attribute__((always_inline))
        {
            accumulator |= static_cast<uint64_t>(code) << pending;
            pending += bits;
            if (pending >= 8) {
                std::memcpy(block + held, &accumulator, sizeof accumulator);
                const int bytes = pending >> 3;
                held += bytes;
                accumulator >>= 8 * bytes;
                pending &= 7;
                if (__builtin_expect(held >= kBlockLength, 0))
                    held = FlushBlock(held);
            }
            // The width grows after the code that took the next free code past the maximum,
            // 2^bits - 1; at 12 bits the next code (at most 4095) never passes 4096.
            if (__builtin_expect((nextCode >> bits) != 0, 0))
                ++bits;
        };
        // The Clear code goes out at the width in force, and the width starts again after it.
        auto ClearBlock = [&]() __attribute__((always_inline))
        {
            m_table.Reset();
            nextCode = m_clearCode + 2;
            OutputCode(m_clearCode);
            bits = m_initBits;
        };

        ClearBlock();
        if (m_indices && m_width > 0 && m_height > 0) {
            // The walk goes through runs of adjacent pixels: the whole picture, or one row at a
            // time in interlaced order.
            const uint8_t* p = m_indices;
            const uint8_t* end =
                m_indices + (m_interlaced ? size_t(m_width) : size_t(m_width) * m_height);
            // The current string is held as its slot content (its code in the low 12 bits; a
            // single pixel as itself) and the slot part that its code contributes.
            uint32_t string = *p++;
            uint64_t high = kSlotHighs.value[string];
            const uint32_t* const slots = m_table.slotArray();
            uint16_t* const highOf = m_highOf;
            while (true) {
                if (__builtin_expect(p == end, 0) && !NextPixel(p, end))
                    break;
                const uint32_t pixel = *p++;
                const uint32_t key = (string & 0xFFF) << 8 | pixel;
                size_t slot = slotOf(high, string, pixel);
                uint32_t found = slots[slot];
                if (__builtin_expect((found >> 12) == key, 1)) {
                    string = found;
                    high = highOf[slot];
                    continue;
                }
                if (found < 0xFFFFF000u) {
                    // Another key holds the slot: the walk of THashTable::Probe goes on.
                    const int next = probeOn(key, static_cast<int>(slot));
                    slot = next >= 0 ? static_cast<size_t>(next) : kNoSlot;
                    found = next >= 0 ? slots[slot] : 0xFFFFFFFFu;
                    if ((found >> 12) == key) {
                        string = found;
                        high = highOf[slot];
                        continue;
                    }
                }
                // A new string: write the code of the one before, enter the new one (or clear
                // the dictionary when it is full) and start again from the pixel.
                OutputCode(static_cast<int>(string & 0xFFF));
                if (nextCode < kCodeLimit) {
                    // A probe sequence with no room left (never met below half full) only
                    // leaves this string out; the code is still spent, as the decoder expects.
                    if (slot != kNoSlot) {
                        m_table.storeAt(static_cast<int>(slot), key, nextCode);
                        highOf[slot] = kSlotHighs.value[nextCode];
                    }
                    ++nextCode;
                } else {
                    ClearBlock();
                }
                string = pixel;
                high = kSlotHighs.value[pixel];
            }
            OutputCode(static_cast<int>(string & 0xFFF));
        }
        OutputCode(m_endCode);
        if (pending > 0)
            block[held++] = static_cast<uint8_t>(accumulator);
        FlushBlock(held);
        m_out.put(0);
    }

private:
    // Writes up to 254 of the held bytes as one sub-block after its count byte; bytes beyond
    // the 254th (at most one code's worth) move to the front for the next one. Returns how many
    // are left. The buffer is flushed as soon as it holds 254 bytes, so every sub-block but the
    // last is 254 bytes long.
    __attribute__((noinline)) int FlushBlock(int held)
    {
        if (held == 0)
            return 0;
        const int m = held < kBlockLength ? held : kBlockLength;
        m_buffer[0] = static_cast<uint8_t>(m);
        m_out.write(m_buffer, static_cast<size_t>(m) + 1);
        std::memmove(m_buffer + 1, m_buffer + 1 + m, static_cast<size_t>(held - m));
        return held - m;
    }

    // The slot of key after its first one, taken by another key: the one that holds key, or
    // the first empty one; -1 when the probe sequence has neither.
    __attribute__((noinline)) int probeOn(uint32_t key, int slot) const
    {
        for (int probes = 0; probes < THashTable::kProbeLimit; ++probes) {
            slot = NextSlot(slot);
            if (m_table.emptyAt(slot) || (m_table.slotAt(slot) >> 12) == key)
                return slot;
        }
        return -1;
    }

    // Moves the pixel walk on when a run of adjacent pixels is used up: to the next row in the
    // GIF's interlace order, or nowhere when the picture is not interlaced. False at the end.
    bool NextPixel(const uint8_t*& p, const uint8_t*& end)
    {
        if (!m_interlaced)
            return false;
        static constexpr int passStart[4] = {0, 4, 2, 1};
        static constexpr int passStep[4] = {8, 8, 4, 2};
        m_row += passStep[m_pass];
        while (m_row >= m_height) {
            if (++m_pass > 3)
                return false;
            m_row = passStart[m_pass];
        }
        p = m_indices + static_cast<size_t>(m_row) * static_cast<size_t>(m_width);
        end = p + m_width;
        return true;
    }

    OutputStream& m_out;
    const int m_width;
    const int m_height;
    const bool m_interlaced;
    const uint8_t* const m_indices;

    int m_initBits = 0;
    int m_clearCode = 0;
    int m_endCode = 0;
    THashTable m_table;
    // For each used slot, the slot part that its code contributes as a prefix.
    uint16_t m_highOf[kHashSlots];
    // The count byte of a sub-block, its 254 data bytes, and room for one more store of eight.
    uint8_t m_buffer[1 + kBlockLength + 2 + 8] = {};
    int m_pass = 0;
    int m_row = 0;
};

}  // namespace

void referenceLZWEncode(OutputStream& stream, int height, int width, bool interlaced,
                        const uint8_t* indices, int bits)
{
    LZWEncoder(stream, height, width, interlaced, indices, bits).encode();
}

}  // namespace lumavex::test
