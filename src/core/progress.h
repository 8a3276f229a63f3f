#pragma once

#include <string>

namespace lumavex {

/// Where a long effect shows how far it has got: in the editor, the first panel of the
/// document's status bar. The core only appends marks and clears them.
class ProgressSink {
public:
    virtual ~ProgressSink() = default;
    /// Appends one "■" to the progress text and shows it at once.
    virtual void mark() = 0;
    /// Empties the progress text.
    virtual void clear() = 0;
};

/// A progress text kept in memory: for callers without a status bar, and for tests.
class ProgressText : public ProgressSink {
public:
    void mark() override
    {
        m_text += "■";
        ++m_marks;
    }
    void clear() override
    {
        m_text.clear();
        ++m_clears;
    }
    const std::string& text() const { return m_text; }
    /// Marks appended and clears made since construction.
    int marks() const { return m_marks; }
    int clears() const { return m_clears; }

private:
    std::string m_text;
    int m_marks = 0;
    int m_clears = 0;
};

/// The row counter of FlameBlur and CircleBlur: one mark every (height - 1) div 20 + 1 rows
/// (about twenty for a picture, one a row up to 20 rows), the text cleared at the end. A null
/// sink shows nothing.
class RowProgress {
public:
    RowProgress(ProgressSink* sink, int height) : m_sink(sink), m_limit((height - 1) / 20) {}
    /// Counts one fetched row.
    void row()
    {
        if (++m_count > m_limit) {
            m_count = 0;
            if (m_sink)
                m_sink->mark();
        }
    }
    /// The rows counted between two marks.
    int rowsPerMark() const { return m_limit + 1; }
    /// Clears the progress text.
    void finish()
    {
        if (m_sink)
            m_sink->clear();
    }

private:
    ProgressSink* m_sink;
    int m_limit;
    int m_count = 0;
};

}  // namespace lumavex
