#pragma once

#include <cstdint>
#include <memory>

#include "formats/stream.h"

namespace lumavex {

/// The LZW compressor entry of the GIF writer: writes the complete table-based image data
/// (minimum code size, data sub-blocks, block terminator) of width x height palette indices,
/// one byte each, rows top to bottom without padding.
using TGIFCompressProc = void (*)(OutputStream& stream, int height, int width, bool interlaced,
                                  const uint8_t* indices, int bits);

/// Slots in the LZW dictionary.
constexpr int kHashSlots = 8009;

/// The first slot probed for a key: (key XOR key >> 4) mod 8009.
constexpr int HashSlot(uint32_t key)
{
    return static_cast<int>((key ^ (key >> 4)) % kHashSlots);
}

/// The slot probed after a used one: slot - (8009 - slot), wrapped into 0..8008, with a step of
/// 1 from slot 0. (This doubles the slot modulo 8009.)
constexpr int NextSlot(int slot)
{
    const int step = slot == 0 ? 1 : kHashSlots - slot;
    slot -= step;
    return slot < 0 ? slot + kHashSlots : slot;
}

/// The LZW dictionary of the published coder, whose probe cycles decide which strings are
/// stored (the encoder follows them through TProbeRoom): 8009 32-bit slots, each holding a 20-bit key (prefix code << 8 | pixel)
/// in its upper 20 bits and the key's 12-bit code in its lower 12. A slot whose upper 20 bits
/// are all ones is empty.
class THashTable {
public:
    /// Empties the slots.
    THashTable();
    THashTable(const THashTable&) = delete;
    THashTable& operator=(const THashTable&) = delete;

    /// Empties every slot.
    void Reset();
    /// Stores a key (below 2^20, not stored yet) with its code (below 4096) in the first empty
    /// slot of the key's probe sequence. Returns false and stores nothing when that sequence
    /// has no empty slot left, which a table at most half full never meets.
    bool Store(uint32_t key, int code);
    /// The code stored for a key, or -1 when it is absent.
    int Find(uint32_t key) const;

    /// The slot that holds a key, or failing that the first empty slot of its probe sequence
    /// (where Store would put it); -1 when neither exists. The encoder looks up and stores with
    /// one probe sequence through this.
    int Probe(uint32_t key) const
    {
        int slot = HashSlot(key);
        for (int probes = 0; probes <= kProbeLimit; ++probes) {
            const uint32_t s = m_slots[slot];
            if ((s & 0xFFFFF000u) == 0xFFFFF000u || (s >> 12) == key)
                return slot;
            slot = NextSlot(slot);
        }
        return -1;
    }
    /// The raw content of a slot: key << 12 | code, or all ones in the upper 20 bits.
    uint32_t slotAt(int slot) const { return m_slots[slot]; }
    /// All 8009 slots.
    const uint32_t* slotArray() const { return m_slots; }
    /// Whether a slot is empty.
    bool emptyAt(int slot) const { return (m_slots[slot] & 0xFFFFF000u) == 0xFFFFF000u; }
    /// The code held by a used slot.
    int codeAt(int slot) const { return static_cast<int>(m_slots[slot] & 0xFFF); }
    /// Writes a key and code into a slot.
    void storeAt(int slot, uint32_t key, int code)
    {
        m_slots[slot] = key << 12 | (static_cast<uint32_t>(code) & 0xFFF);
    }

    /// A probe sequence visits at most 4005 distinct slots (doubling modulo 8009 has period
    /// 4004), so a longer walk would only go round in circles.
    static constexpr int kProbeLimit = 4005;

private:
    // The one block of slots lives inside the table, so that a coder holding the table on
    // its stack reaches the slots without a pointer of their own.
    uint32_t m_slots[kHashSlots];
};

/// Whether THashTable::Store would find room, told from how full the probe cycles are rather
/// than by walking them. Doubling modulo 8009 (a prime, 8009 = 1 mod 8) runs through the 4004
/// quadratic residues from any residue and through the 4004 non-residues from any non-residue,
/// so a key whose first slot is not 0 finds room exactly while its cycle has an empty slot; from
/// slot 0 the walk goes on to 8008 = -1, a residue, so a key there finds room while slot 0 or the
/// residues do.
class TProbeRoom {
public:
    /// Every slot empty.
    void Reset()
    {
        m_zeroUsed = false;
        m_used[0] = m_used[1] = 0;
    }
    /// What THashTable::Store(key, ...) returns, keeping count of the slot it would fill.
    bool Take(uint32_t key);

private:
    bool m_zeroUsed = false;
    int m_used[2] = {0, 0};  // slots used among the residues, among the non-residues
};

/// Writes the GIF image data of width x height indices: the minimum code size (bits, at least
/// 2), the LZW codes packed least significant bit first in sub-blocks of 254 bytes (the last one
/// shorter), and the block terminator 0. With interlaced set the rows go in the GIF's four-pass
/// order. A null index pointer or an empty picture writes a Clear and an End code only. The
/// dictionary is cleared when its next code would be 4095. bits must be 1..8.
void GIFLZWEncode(OutputStream& stream, int height, int width, bool interlaced,
                  const uint8_t* indices, int bits);

}  // namespace lumavex
