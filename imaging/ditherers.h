#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/ditherer_class.h"
#include "toolkit/persistent.h"

class TDIBReader;

/// @file
/// Ditherers: colour pixels to palette indices, with or without error
/// diffusion.

/// Turns rows of colour pixels into palette indices for a mapped writer.
/// Rows must come in order, top to bottom, no wider than the writer was when
/// the ditherer was made; the palette's cache must exist (the writer's
/// SetRowFrom sees to both).
class TDitherer : public TObject {
public:
    /// A ditherer that borrows @p writer and @p palette; both must outlive it.
    TDitherer(TDIBMappedWriter* writer, TLogicalPalette* palette) : palette_(palette), writer_(writer) {}
    /// Writes the indices of the reader's current row into the writer's
    /// current row; neither moves to its next row.
    virtual void SetRowIndicies(TDIBReader* reader) = 0;

protected:
    TLogicalPalette* palette_;   ///< borrowed
    TDIBMappedWriter* writer_;  ///< borrowed
};

/// A new ditherer of class @p T, owned by the caller: what ditherClassOf names.
template <typename T>
std::unique_ptr<TDitherer> createDitherer(TDIBMappedWriter* writer, TLogicalPalette* palette) {
    return std::make_unique<T>(writer, palette);
}

/// The class reference of a ditherer class, as SetDitherer and the
/// conversion constructor take it.
template <typename T>
constexpr TDithererClass ditherClassOf() {
    return &createDitherer<T>;
}

/// Each pixel takes its nearest entry.
class TNoDither : public TDitherer {
public:
    /// A ditherer that borrows @p writer and @p palette.
    using TDitherer::TDitherer;
    /// Each pixel of the row takes the palette's nearest entry.
    void SetRowIndicies(TDIBReader* reader) override;
};

/// The damped error for each error from -255 to 255, at index error + 255.
using TFSErrorLimitArray = std::array<int, 511>;  // indexed -255 ... 255

/// Floyd-Steinberg error diffusion on a serpentine path (the first row right
/// to left), with large errors damped so that they cannot smear.
class TFSDitherer : public TDitherer {
public:
    /// A ditherer for rows as wide as @p writer is now; wider rows are cut
    /// at that width.
    TFSDitherer(TDIBMappedWriter* writer, TLogicalPalette* palette);
    /// Diffuses the row in this row's direction, turning both the reader and
    /// the writer that way; the next row goes the other way.
    void SetRowIndicies(TDIBReader* reader) override;

    /// Errors below 16 pass whole, those up to 47 become 16 + (n - 15) / 2,
    /// and larger ones stop at 32, each with its sign.
    static void InitErrorLimits(TFSErrorLimitArray& limits);
    /// The damped @p error (-255 ... 255), as InitErrorLimits made it.
    int errorLimit(int error) const { return limits_[std::size_t(error + 255)]; }
    /// The next row goes left to right.
    bool leftToRight() const { return leftToRight_; }

private:
    // One row in the given direction, pixels from and indices to `row`.
    template <typename Row>
    void diffuse(Row& row, bool forward);

    // Three ints (red, green, blue) per cell; cell x + 1 holds what waits for
    // column x of the next row, cells 0 and width + 1 are spare.
    std::vector<int> errors_;
    TFSErrorLimitArray limits_;
    // The damped error for each sum of weighted errors a pixel receives,
    // limits_ applied to (sum + 8) / 16: one load on the path from one
    // pixel to the next. An error is at most 255, so a sum is at most
    // (7 + 3 + 5 + 1) * 255 = 4080 either way.
    static constexpr int kDampedReach = 4096;
    std::array<std::int8_t, 2 * kDampedReach> damped_;
    bool leftToRight_ = false;
    int width_;
};
