#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace lumavex {

/// Where writers put their bytes, so that tests never need the disk.
class OutputStream {
public:
    virtual ~OutputStream() = default;
    /// Appends n bytes. Throws Error(File) when they cannot be written.
    virtual void write(const void* data, size_t n) = 0;
    void put(uint8_t byte) { write(&byte, 1); }
    void putLE16(uint32_t v)
    {
        const uint8_t b[2] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8)};
        write(b, 2);
    }
    void putLE32(uint32_t v)
    {
        const uint8_t b[4] = {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8),
                              static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 24)};
        write(b, 4);
    }
};

/// Collects the bytes in memory.
class MemoryOutput : public OutputStream {
public:
    void write(const void* data, size_t n) override;
    const std::vector<uint8_t>& bytes() const { return m_bytes; }
    std::vector<uint8_t>& bytes() { return m_bytes; }

private:
    std::vector<uint8_t> m_bytes;
};

/// Writes a file through a temporary file beside it that replaces the target only on commit(),
/// so a failed or abandoned write leaves any old file exactly as it was, and an interrupt,
/// termination or hang-up removes it before the program ends. An existing target's permission
/// bits (and group, where allowed) are kept.
class AtomicFileOutput : public OutputStream {
public:
    /// Creates the temporary file. Throws Error(File) when the folder is not writable.
    explicit AtomicFileOutput(const std::string& target);
    /// Removes the temporary file unless commit() succeeded.
    ~AtomicFileOutput() override;
    AtomicFileOutput(const AtomicFileOutput&) = delete;
    AtomicFileOutput& operator=(const AtomicFileOutput&) = delete;

    void write(const void* data, size_t n) override;
    /// Flushes, syncs and renames the temporary file over the target. Throws Error(File).
    void commit();

private:
    std::string m_target;
    std::string m_temporary;
    std::FILE* m_file = nullptr;
    int m_slot = -1;  // where the signal handler finds the temporary file
    bool m_committed = false;
};

/// The whole content of a file. Throws Error(File) when it cannot be read, and Error(TooLarge)
/// for files beyond 2 GiB.
std::vector<uint8_t> readWholeFile(const std::string& fileName);

}  // namespace lumavex
