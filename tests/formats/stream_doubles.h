#pragma once

#include <cstddef>

#include "core/error.h"
#include "formats/stream.h"

namespace lumavex::test {

/// Accepts a number of bytes, then fails as a full disk does.
class FailingOutput : public OutputStream {
public:
    explicit FailingOutput(size_t room) : m_room(room) {}
    void write(const void*, size_t n) override
    {
        if (n > m_room)
            throw Error(ErrorKind::File, "disk full");
        m_room -= n;
    }

private:
    size_t m_room;
};

}  // namespace lumavex::test
