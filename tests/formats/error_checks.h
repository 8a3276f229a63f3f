#pragma once
// Checks of the errors the readers and writers throw.

#include <cstddef>

#include <gtest/gtest.h>

#include "core/error.h"
#include "stream_doubles.h"

namespace lumavex::test {

/// The kind of the Error that f throws; a test failure (and BadArgument) when it throws none.
template <class F>
ErrorKind kindOf(F&& f)
{
    try {
        f();
    } catch (const Error& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no error";
    return ErrorKind::BadArgument;
}

/// Checks that write(stream) passes on, unchanged, the error of a stream that fills up after
/// room bytes.
template <class Write>
void expectStreamErrorPassedOn(size_t room, Write write)
{
    FailingOutput failing(room);
    try {
        write(failing);
        ADD_FAILURE() << room;
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::File);
        EXPECT_STREQ(e.what(), "disk full");
    }
}

}  // namespace lumavex::test
