#pragma once

#include <memory>

#include "imaging/Zvqgraph.h"

// A 24-bit picture mapped row by row onto a palette by an 8-bit writer, as
// the conversion constructor does it, kept so that passes can be repeated.
class RowConversion {
public:
    RowConversion(TDeviceIndependentBitmap& source, TLogicalPalette& palette, TDithererClass ditherer);

    // Maps every row through the writer's ditherer.
    void run();
    // Maps every row through the given ditherer instead (one made over a
    // palette of the caller's, e.g. one without a cache).
    void run(TDitherer& ditherer);
    // Gives the writer a copy of `palette` whose cache starts empty.
    void resetCache(TLogicalPalette& palette);

    TDIBMappedWriter& writer() { return *writer_; }
    const TDeviceIndependentBitmap& target() const { return target_; }
    int rows() const { return target_.GetHeight(); }

private:
    void rewind();

    TDeviceIndependentBitmap target_;
    std::unique_ptr<TDIBReader> reader_;
    std::unique_ptr<TDIBWriter> writerOwner_;
    TDIBMappedWriter* writer_;
};
