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
        const bool hasPixels = m_indices && m_width > 0 && m_height > 0;
        if (hasPixels) {
            m_remaining = m_interlaced ? m_width : int64_t{m_width} * m_height;
            m_read = m_indices;
            int prefix = *m_read++;
            int c;
            while (NextPixel(c)) {
                const uint32_t key = static_cast<uint32_t>(prefix) << 8 | static_cast<uint32_t>(c);
                const int slot = m_table.Probe(key);
                if (slot >= 0 && !m_table.emptyAt(slot)) {
                    prefix = m_table.codeAt(slot);
                    continue;
                }
                OutputCode(prefix);
                prefix = c;
                if (m_nextCode < kCodeLimit) {
                    // A probe sequence with no room left (never met below half full) only
                    // leaves this string out; the code is still spent, as the decoder expects.
                    if (slot >= 0)
                        m_table.storeAt(slot, key, m_nextCode);
                    ++m_nextCode;
                } else {
                    ClearBlock();
                }
            }
            OutputCode(prefix);
        }
        OutputCode(m_endCode);
        m_out.put(0);
    }

private:
    void ClearBlock()
    {
        m_table.Reset();
        m_nextCode = m_clearCode + 2;
        m_clearFlag = true;
        OutputCode(m_clearCode);
    }

    void OutputCode(int code)
    {
        if (m_pending > 0)
            m_accumulator = static_cast<uint32_t>(code) << m_pending |
                            (m_accumulator & ((1u << m_pending) - 1));
        else
            m_accumulator = static_cast<uint32_t>(code);
        m_pending += m_bits;
        while (m_pending >= 8) {
            m_block[m_held++] = static_cast<uint8_t>(m_accumulator);
            m_accumulator >>= 8;
            m_pending -= 8;
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
            while (m_pending > 0) {
                m_block[m_held++] = static_cast<uint8_t>(m_accumulator);
                m_accumulator >>= 8;
                m_pending -= 8;
            }
            if (m_held > 0)
                FlushBlock();
        }
    }

    // Writes the held bytes as one sub-block after its count byte. The buffer is flushed as
    // soon as it holds 254 bytes, so it never holds more than one sub-block.
    void FlushBlock()
    {
        if (m_held == 0)
            return;
        m_buffer[0] = static_cast<uint8_t>(m_held);
        m_out.write(m_buffer, static_cast<size_t>(m_held) + 1);
        m_held = 0;
    }

    // The next pixel of the walk, in interlaced row order when asked.
    bool NextPixel(int& c)
    {
        if (--m_remaining > 0) {
            c = *m_read++;
            return true;
        }
        if (!m_interlaced)
            return false;
        static constexpr int passStart[4] = {0, 4, 2, 1};
        static constexpr int passStep[4] = {8, 8, 4, 2};
        m_remaining = m_width;
        m_row += passStep[m_pass];
        while (m_row >= m_height) {
            if (++m_pass > 3)
                return false;
            m_row = passStart[m_pass];
        }
        m_read = m_indices + static_cast<size_t>(m_row) * static_cast<size_t>(m_width);
        c = *m_read++;
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
    uint32_t m_accumulator = 0;
    int m_pending = 0;
    THashTable m_table;
    // The count byte of a sub-block, then its data.
    uint8_t m_buffer[1 + 256] = {};
    uint8_t* const m_block = m_buffer + 1;
    int m_held = 0;

    int64_t m_remaining = 0;
    int m_pass = 0;
    int m_row = 0;
    const uint8_t* m_read = nullptr;
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
