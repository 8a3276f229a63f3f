#include "gif_lzw.h"

#include <cstring>
#include <string>

#include "effects/error.h"

namespace lumavex {

THashTable::THashTable() : m_slots(new uint32_t[kHashSlots])
{
    Reset();
}

void THashTable::Reset()
{
    std::memset(m_slots.get(), 0xFF, sizeof(uint32_t) * kHashSlots);
}

bool THashTable::Store(uint32_t key, int code)
{
    int slot = HashSlot(key);
    for (int probes = 0; probes <= kProbeLimit; ++probes) {
        if (emptyAt(slot)) {
            storeAt(slot, key, code);
            return true;
        }
        slot = NextSlot(slot);
    }
    return false;
}

int THashTable::Find(uint32_t key) const
{
    const int slot = Probe(key);
    return slot < 0 || emptyAt(slot) ? -1 : codeAt(slot);
}

namespace {

// The largest code the dictionary assigns is 4094: it is cleared when the next one would be
// 4095.
constexpr int kCodeLimit = 4095;
constexpr int kBlockLength = 254;

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
// high(code). The pixel's part is folded apart from the chain of lookups that runs through
// string and high. The sum passes 8008 for about one key in sixty: a branch, not a step of
// every lookup.
inline int slotOf(uint32_t high, uint32_t string, uint32_t pixel)
{
    const uint32_t fold = pixel ^ (pixel >> 4);
    uint32_t slot = high + static_cast<uint8_t>((string << 4) ^ fold);
    if (__builtin_expect(slot >= kHashSlots, 0)) {
        asm("" : "+r"(slot));
        slot -= kHashSlots;
    }
    return static_cast<int>(slot);
}

// One call of GIFLZWEncode: the bit packer, the sub-block writer and the pixel walk.
class LZWEncoder {
public:
    LZWEncoder(OutputStream& out, int height, int width, bool interlaced, const uint8_t* indices,
               int bits)
        : m_out(out), m_width(width), m_height(height), m_interlaced(interlaced), m_indices(indices)
    {
        // The minimum code size is never below 2: one-bit pictures are coded as two-bit ones.
        m_initBits = bits <= 1 ? 3 : bits + 1;
        m_out.put(static_cast<uint8_t>(m_initBits - 1));
        m_bits = m_initBits;
        m_maxCode = (1 << m_bits) - 1;
        m_clearCode = 1 << (m_initBits - 1);
        m_endCode = m_clearCode + 1;
    }

    void encode()
    {
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
            uint32_t high = kSlotHighs.value[string];
            const uint32_t* const slots = m_table.slots();
            while (true) {
                if (__builtin_expect(p == end, 0) && !NextPixel(p, end))
                    break;
                const uint32_t pixel = *p++;
                const uint32_t key = (string & 0xFFF) << 8 | pixel;
                int slot = slotOf(high, string, pixel);
                const uint32_t found = slots[slot];
                if (__builtin_expect((found >> 12) == key, 1)) {
                    string = found;
                    high = m_highOf[slot];
                    continue;
                }
                const uint64_t next = extend(key, slot, string);
                string = static_cast<uint32_t>(next);
                high = static_cast<uint32_t>(next >> 32);
            }
            OutputCode(static_cast<int>(string & 0xFFF));
        }
        OutputCode(m_endCode);
        m_out.put(0);
    }

private:
    // The string plus the pixel of key is not at its first slot: it is further along the probe
    // sequence, or new. A new one writes the string's code, enters the key (or clears the
    // dictionary when it is full) and starts again from the pixel. Returns the string to go
    // on with and its high part above it, so that both stay in registers in the caller.
    __attribute__((noinline)) uint64_t extend(uint32_t key, int slot, uint32_t string)
    {
        // The walk of THashTable::Probe, from its first slot already read.
        for (int probes = 0; !m_table.emptyAt(slot); ++probes) {
            const uint32_t s = m_table.slotAt(slot);
            if ((s >> 12) == key)
                return uint64_t{m_highOf[slot]} << 32 | s;
            if (probes == THashTable::kProbeLimit) {
                slot = -1;
                break;
            }
            slot = NextSlot(slot);
        }
        OutputCode(static_cast<int>(string & 0xFFF));
        if (m_nextCode < kCodeLimit) {
            // A probe sequence with no room left (never met below half full) only leaves this
            // string out; the code is still spent, as the decoder expects.
            if (slot >= 0) {
                m_table.storeAt(slot, key, m_nextCode);
                m_highOf[slot] = kSlotHighs.value[m_nextCode];
            }
            ++m_nextCode;
        } else {
            ClearBlock();
        }
        const uint32_t pixel = key & 0xFF;
        return uint64_t{kSlotHighs.value[pixel]} << 32 | pixel;
    }

    void ClearBlock()
    {
        m_table.Reset();
        m_nextCode = m_clearCode + 2;
        m_clearFlag = true;
        OutputCode(m_clearCode);
    }

    // Appends a code, least significant bit first, at the current width. The accumulator holds
    // only the bits not yet written, so whole bytes can be stored eight at a time.
    __attribute__((always_inline)) void OutputCode(int code)
    {
        m_accumulator |= static_cast<uint64_t>(code) << m_pending;
        m_pending += m_bits;
        if (m_pending >= 8) {
            std::memcpy(m_block + m_held, &m_accumulator, sizeof m_accumulator);
            const int bytes = m_pending >> 3;
            m_held += bytes;
            m_accumulator >>= 8 * bytes;
            m_pending &= 7;
            if (m_held >= kBlockLength)
                FlushBlock();
        }
        // The width grows after the code that took the next free code past the maximum.
        if (m_nextCode > m_maxCode || m_clearFlag) {
            if (m_clearFlag) {
                m_bits = m_initBits;
                m_maxCode = (1 << m_bits) - 1;
                m_clearFlag = false;
            } else {
                ++m_bits;
                m_maxCode = m_bits == 12 ? 4096 : (1 << m_bits) - 1;
            }
        }
        if (code == m_endCode) {
            if (m_pending > 0) {
                m_block[m_held++] = static_cast<uint8_t>(m_accumulator);
                m_accumulator = 0;
                m_pending = 0;
            }
            FlushBlock();
        }
    }

    // Writes up to 254 held bytes as one sub-block after its count byte; bytes beyond the 254th
    // (at most one code's worth) move to the front for the next one. The buffer is flushed as
    // soon as it holds 254 bytes, so every sub-block but the last is 254 bytes long.
    void FlushBlock()
    {
        if (m_held == 0)
            return;
        const int m = m_held < kBlockLength ? m_held : kBlockLength;
        m_buffer[0] = static_cast<uint8_t>(m);
        m_out.write(m_buffer, static_cast<size_t>(m) + 1);
        m_held -= m;
        std::memmove(m_block, m_block + m, static_cast<size_t>(m_held));
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
    int m_bits = 0;
    int m_maxCode = 0;
    int m_nextCode = 0;
    bool m_clearFlag = false;
    int m_clearCode = 0;
    int m_endCode = 0;
    uint64_t m_accumulator = 0;
    int m_pending = 0;
    THashTable m_table;
    // For each used slot, the slot part that its code contributes as a prefix.
    uint16_t m_highOf[kHashSlots];
    // The count byte of a sub-block, its 254 data bytes, and room for one more store of eight.
    uint8_t m_buffer[1 + kBlockLength + 2 + 8] = {};
    uint8_t* const m_block = m_buffer + 1;
    int m_held = 0;

    int m_pass = 0;
    int m_row = 0;
};

}  // namespace

void GIFLZWEncode(OutputStream& stream, int height, int width, bool interlaced,
                  const uint8_t* indices, int bits)
{
    if (bits < 1 || bits > 8)
        throw Error(ErrorKind::BadArgument,
                    "GIF の色数のビット数は 1 から 8 までです: " + std::to_string(bits));
    LZWEncoder(stream, height, width, interlaced, indices, bits).encode();
}

}  // namespace lumavex
