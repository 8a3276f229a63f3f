#include "gif_lzw.h"

#include <algorithm>
#include <cstring>
#include <string>

#include "core/error.h"

namespace lumavex {

THashTable::THashTable()
{
    Reset();
}

void THashTable::Reset()
{
    std::memset(m_slots, 0xFF, sizeof m_slots);
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
// No probe cycle of the algorithm's hash table is full below this many strings.
constexpr int kSureRoom = (kHashSlots - 1) / 2;
// Marks the Clear codes of a batch: an index beyond the palette, written as a code of its own,
// may have the Clear code's value without its effect.
constexpr uint16_t kClearMark = 0x1000;
// Codes gathered before they are packed into bytes.
constexpr int kCodeBatch = 4096;

// Packs codes, least significant bit first, into sub-blocks of 254 bytes. The width of each
// code follows from the codes alone: it starts at the initial width after every Clear code and
// grows after the code written while the next free code was 2^width.
class CodePacker {
public:
    CodePacker(OutputStream& out, int initBits) : m_out(out), m_initBits(initBits)
    {
        m_clearCode = 1 << (initBits - 1);
        m_bits = initBits;
    }

    void pack(const uint16_t* codes, size_t count)
    {
        uint64_t accumulator = m_accumulator;
        int pending = m_pending;
        int bits = m_bits;
        int nextCode = m_nextCode;
        size_t held = m_held;
        uint8_t* const bytes = m_bytes;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t code = codes[i] & 0xFFF;
            accumulator |= static_cast<uint64_t>(code) << pending;
            pending += bits;
            std::memcpy(bytes + held, &accumulator, sizeof accumulator);
            const int whole = pending >> 3;
            held += static_cast<size_t>(whole);
            accumulator >>= 8 * whole;
            pending &= 7;
            if (__builtin_expect(codes[i] & kClearMark, 0)) {
                nextCode = m_clearCode + 2;
                bits = m_initBits;
            } else {
                bits += (nextCode >> bits) != 0;
                ++nextCode;
            }
        }
        m_accumulator = accumulator;
        m_pending = pending;
        m_bits = bits;
        m_nextCode = nextCode;
        m_held = held;
        flush(false);
    }

    // Writes the last bits and the sub-blocks still held.
    void finish()
    {
        if (m_pending > 0)
            m_bytes[m_held++] = static_cast<uint8_t>(m_accumulator);
        m_pending = 0;
        flush(true);
        m_out.put(0);
    }

private:
    // Writes every full sub-block (and with all set the shorter last one) and moves the rest
    // to the front.
    void flush(bool all)
    {
        uint8_t* const bytes = m_bytes;
        size_t at = 0;
        size_t staged = 0;
        while (m_held - at >= kBlockLength || (all && at < m_held)) {
            const size_t m = std::min<size_t>(kBlockLength, m_held - at);
            m_stage[staged++] = static_cast<uint8_t>(m);
            std::memcpy(m_stage + staged, bytes + at, m);
            staged += m;
            at += m;
        }
        if (staged > 0)
            m_out.write(m_stage, staged);
        std::memmove(bytes, bytes + at, m_held - at);
        m_held -= at;
    }

    OutputStream& m_out;
    const int m_initBits;
    int m_clearCode;
    int m_bits;
    int m_nextCode = 0;
    uint64_t m_accumulator = 0;  // only the bits not yet written
    int m_pending = 0;
    size_t m_held = 0;
    // A batch of codes (two more at the end) of at most 12 bits, what was left over from the
    // last one, and room for one more store of eight.
    static constexpr size_t kBytes = (kCodeBatch + 2) * 12 / 8 + kBlockLength + 8;
    uint8_t m_bytes[kBytes];
    uint8_t m_stage[kBytes + kBytes / kBlockLength + 1];
};

// Which slots of the hash table are quadratic residues modulo 8009: the cycle of doubling from 1.
struct Residues {
    bool value[kHashSlots];
    constexpr Residues() : value()
    {
        for (int s = 1; !value[s]; s = 2 * s % kHashSlots)
            value[s] = true;
    }
};
constexpr Residues kResidues;

// The coder's own dictionary lookup: 8192 slots of key << 12 | code, 0xFFFFFFFF when empty,
// each with the value that its code adds to the slot of the code's children. A child of code
// c with pixel x lives at kChildBase[c] ^ x or, when that is taken, in the next free slot
// after it. The bases are spread over the table by a multiplicative hash, so the children of a
// code share one 256-slot block without colliding among themselves.
constexpr int kLookupSlots = 8192;
constexpr uint32_t kEmptySlot = 0xFFFFFFFFu;
struct ChildBases {
    uint16_t value[4096];
    constexpr ChildBases() : value()
    {
        for (uint32_t code = 0; code < 4096; ++code)
            value[code] = static_cast<uint16_t>((code * 0x9E3779B1u) >> 19);
    }
};
constexpr ChildBases kChildBase;

// One call of GIFLZWEncode: the pixel walk and the dictionary, handing codes in batches to the
// packer.
//
// The strings stored are exactly those the hash table of THashTable would store: a string is
// left out when its probe cycle there is full, which TProbeRoom tells at insertion. They are
// looked up in the coder's own table, where the next slot is one XOR away from the slot just
// read, and most lookups end at that first slot.
class LZWEncoder {
public:
    LZWEncoder(OutputStream& out, int height, int width, bool interlaced, const uint8_t* indices,
               int bits)
        : m_width(width),
          m_height(height),
          m_interlaced(interlaced),
          m_indices(indices),
          // The minimum code size is never below 2: one-bit pictures are coded as two-bit ones.
          m_initBits(bits <= 1 ? 3 : bits + 1),
          m_clearCode(1 << (m_initBits - 1)),
          m_packer(out, m_initBits),
          m_alwaysRoom(kCodeLimit - (m_clearCode + 2) < kSureRoom)
    {
        out.put(static_cast<uint8_t>(m_initBits - 1));
    }

    void encode()
    {
        // The batch is written through out; nextCode and out stay in registers (nothing takes
        // their address), the slow paths hand them back.
        uint16_t* out = m_codes;
        uint32_t nextCode = static_cast<uint32_t>(m_clearCode) + 2;
        uint32_t* const slots = m_slots;
        uint16_t* const highOf = m_highOf;
        uint16_t* const batchEnd = m_codes + kCodeBatch;
        clearDictionary();

        *out++ = static_cast<uint16_t>(kClearMark | m_clearCode);
        if (m_indices && m_width > 0 && m_height > 0) {
            // The walk goes through runs of adjacent pixels: the whole picture, or one row at a
            // time in interlaced order.
            const uint8_t* p = m_indices;
            const uint8_t* end =
                m_indices + (m_interlaced ? size_t(m_width) : size_t(m_width) * m_height);
            // The current string is held as its slot content (its code in the low 12 bits; a
            // single pixel as itself) and the slot part that its code contributes.
            uint32_t string = *p++;
            uint32_t high = kChildBase.value[string];
            while (true) {
                if (__builtin_expect(p == end, 0) && !NextPixel(p, end))
                    break;
                const uint32_t pixel = *p++;
                const uint32_t key = (string & 0xFFF) << 8 | pixel;
                uint32_t slot = high ^ pixel;
                uint32_t found = slots[slot];
                if (__builtin_expect((found >> 12) == key, 1)) {
                    string = found;
                    high = highOf[slot];
                    continue;
                }
                if (found != kEmptySlot) {
                    // Another key holds the slot: the walk goes on to the key or a free slot.
                    slot = probeOn(key, slot);
                    found = slots[slot];
                    if ((found >> 12) == key) {
                        string = found;
                        high = highOf[slot];
                        continue;
                    }
                }
                // A new string: the code of the one before goes out, the new one is entered
                // (or the dictionary cleared when it is full) and the walk starts again from
                // the pixel.
                *out++ = static_cast<uint16_t>(string & 0xFFF);
                if (__builtin_expect(nextCode < kCodeLimit, 1)) {
                    // A full probe cycle in the algorithm's hash table (never met below 4004
                    // strings, so never with 7 or 8 bits a pixel) only leaves this string out;
                    // the code is still spent, as the decoder expects.
                    if (__builtin_expect(m_alwaysRoom, 1) || m_room.Take(key)) {
                        slots[slot] = key << 12 | nextCode;
                        highOf[slot] = kChildBase.value[nextCode];
                    }
                    ++nextCode;
                } else {
                    clearDictionary();
                    nextCode = static_cast<uint32_t>(m_clearCode) + 2;
                    *out++ = static_cast<uint16_t>(kClearMark | m_clearCode);
                }
                if (__builtin_expect(out >= batchEnd, 0))
                    out = packBatch(out);
                string = pixel;
                high = kChildBase.value[pixel];
            }
            *out++ = static_cast<uint16_t>(string & 0xFFF);
        }
        *out++ = static_cast<uint16_t>(m_clearCode + 1);  // End
        m_packer.pack(m_codes, static_cast<size_t>(out - m_codes));
        m_packer.finish();
    }

private:
    // Packs a full batch; returns its start.
    __attribute__((noinline)) uint16_t* packBatch(uint16_t* out)
    {
        m_packer.pack(m_codes, static_cast<size_t>(out - m_codes));
        return m_codes;
    }

    void clearDictionary()
    {
        std::memset(m_slots, 0xFF, sizeof m_slots);
        m_room.Reset();
    }

    // The slot of key after its first one, taken by another key: the one that holds key, or
    // the first empty one. The table is never more than half full.
    __attribute__((noinline)) uint32_t probeOn(uint32_t key, uint32_t slot) const
    {
        while (true) {
            slot = (slot + 1) & (kLookupSlots - 1);
            if (m_slots[slot] == kEmptySlot || (m_slots[slot] >> 12) == key)
                return slot;
        }
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

    const int m_width;
    const int m_height;
    const bool m_interlaced;
    const uint8_t* const m_indices;
    const int m_initBits;
    const int m_clearCode;
    CodePacker m_packer;
    // The dictionary: the lookup table, and the room left in the algorithm's hash table.
    uint32_t m_slots[kLookupSlots];
    uint16_t m_highOf[kLookupSlots];
    TProbeRoom m_room;
    const bool m_alwaysRoom;
    // A batch of codes, with room for the last two.
    uint16_t m_codes[kCodeBatch + 2];
    int m_pass = 0;
    int m_row = 0;
};

}  // namespace

bool TProbeRoom::Take(uint32_t key)
{
    const int slot = HashSlot(key);
    if (slot == 0 && !m_zeroUsed) {
        m_zeroUsed = true;
        return true;
    }
    int& used = m_used[slot == 0 || kResidues.value[slot] ? 0 : 1];
    if (used == (kHashSlots - 1) / 2)
        return false;
    ++used;
    return true;
}

void GIFLZWEncode(OutputStream& stream, int height, int width, bool interlaced,
                  const uint8_t* indices, int bits)
{
    if (bits < 1 || bits > 8)
        throw Error(ErrorKind::BadArgument,
                    "GIF の色数のビット数は 1 から 8 までです: " + std::to_string(bits));
    LZWEncoder(stream, height, width, interlaced, indices, bits).encode();
}

}  // namespace lumavex
