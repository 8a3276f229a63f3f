#pragma once

#include "core/raster.h"

namespace lumavex {

/// Work done on a picture from the top down while its lower rows are still being filled (a
/// file decoding on another thread): each row is worked once, in order.
class RowStage {
public:
    virtual ~RowStage() = default;
    /// Rows 0 .. ready - 1 of picture are final (all of them when ready is its height): works
    /// what rows it can and returns how many rows of the result, from the top, are done.
    virtual int advance(Raster& picture, int ready) = 0;
    /// The picture the stage's rows go to: the source itself, or one of the stage's own.
    virtual Raster& result(Raster& source) { return source; }
};

/// A RowStage whose rows need no other row: rows(picture, first, last) works rows first ..
/// last - 1.
template <void (*rows)(Raster& picture, int first, int last)>
class RowByRowStage : public RowStage {
public:
    int advance(Raster& picture, int ready) override
    {
        if (ready > m_done)
            rows(picture, m_done, ready);
        m_done = ready;
        return m_done;
    }

private:
    int m_done = 0;
};

}  // namespace lumavex
