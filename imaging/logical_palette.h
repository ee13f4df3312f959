#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <vector>

#include "imaging/dib_format.h"
#include "toolkit/bitmap.h"
#include "toolkit/colors.h"
#include "toolkit/persistent.h"

class TDeviceIndependentBitmap;

/// @file
/// Logical palettes with a cached nearest-colour search.

/// The palettes a TLogicalPalette can start as: empty, the twenty colours of
/// the default palette, or 64 grey levels.
enum class TDefaultPalettes { dpEmpty, dpColour, dpGrayscale };

/// One palette entry.
struct TPaletteEntry {
    ///@{
    /// The entry's colour.
    std::uint8_t peRed = 0;
    std::uint8_t peGreen = 0;
    std::uint8_t peBlue = 0;
    ///@}
    std::uint8_t peFlags = 0;  ///< 0
};

/// Candidate entries for one box of the colour grid, in palette order.
struct TColourList {
    std::array<std::uint8_t, 256> indices;  ///< the first `length` count
    std::uint16_t length = 0;               ///< candidates in `indices`
};

/// The best entry for each of the 128 cells of one box (red-major, then
/// green, then blue), and the box's first cell.
struct TBestColourList {
    ///@{
    /// The box's first cell.
    std::uint8_t red = 0, green = 0, blue = 0;
    ///@}
    std::array<std::uint8_t, 128> best;         ///< the entry for each cell
};

/// Up to 256 colours with a nearest-colour search. Colours fall into cells of
/// a 5-6-5-bit grid; a lookup answers with the entry nearest to the cell's
/// centre by the weighted distance (2 dR)^2 + (3 dG)^2 + dB^2, and the
/// optional 128 KiB cache keeps the answers, filled one box of 4 x 8 x 4
/// cells at a time.
///
/// The cache belongs to the entries it was filled for: operations that
/// replace the entries without Clear or Assign (ReAlloc, the Copy... and
/// Set... operations, SetupGrayscalePalette) keep it, and a caller that
/// changes entries under a cache calls FreeCache first. A cached answer past
/// the entries there are now is never used: the cache is emptied and the
/// cell looked up again.
///
/// An index outside the entries raises ELogPalError "Invalid palette index
/// (%1)", %1 the index; GetRGBColours and GetPalEntry raise the same text as
/// a plain Exception.
class TLogicalPalette : public TPersistent {
public:
    /// The most entries a palette holds: indices are bytes.
    static constexpr int kMaxColours = 256;

    /// An empty, a default-colour or a grey palette.
    explicit TLogicalPalette(TDefaultPalettes kind = TDefaultPalettes::dpEmpty);
    /// From a toolkit palette; null gives an empty palette.
    explicit TLogicalPalette(const TColorTable* palette);
    ///@{
    /// The bitmap's colour table; empty for a true-colour bitmap.
    explicit TLogicalPalette(TDeviceIndependentBitmap* dib);
    explicit TLogicalPalette(const TDeviceIndependentBitmap* dib);
    ///@}
    ///@{
    /// The colours in order, as TLogicalPalette{clBlack, clWhite, RGB(255, 0, 0)};
    /// as with a toolkit palette, colours past the 256th are left out.
    explicit TLogicalPalette(std::initializer_list<TColor> colours);
    explicit TLogicalPalette(std::span<const TColor> colours);
    ///@}
    ~TLogicalPalette() override;

    /// Room for `capacity` entries (at most 256), count 0; the cache stays.
    void ReAlloc(int capacity);
    /// No entries and no cache.
    void Clear();
    /// The 64 grey levels of dpGrayscale.
    void SetupGrayscalePalette();
    ///@{
    /// The bitmap's colour table, at most its first 256 entries.
    void CopyDIBColourTable(TDeviceIndependentBitmap* dib);
    void CopyDIBColourTable(const TDeviceIndependentBitmap* dib);
    ///@}
    /// The toolkit palette's colours, at most the first 256; null gives none.
    void CopyFromHPalette(const TColorTable* palette);
    /// Takes another palette's entries (its cache not, and this one's goes),
    /// a toolkit bitmap's palette, or a device-independent bitmap's colour
    /// table (none for true colour); other sources raise EConvertError.
    void Assign(TPersistent* source) override;
    /// A new toolkit palette with the entries, owned by the caller.
    std::unique_ptr<TColorTable> AsPalette() const;

    /// The entries in use.
    int GetCount() const { return count_; }
    /// The entries there is room for.
    int GetCapacity() const { return int(entries_.size()); }
    ///@{
    /// One channel of an entry (ELogPalError outside the entries).
    std::uint8_t GetRed(int index) const { return entry(index).peRed; }
    std::uint8_t GetGreen(int index) const { return entry(index).peGreen; }
    std::uint8_t GetBlue(int index) const { return entry(index).peBlue; }
    void SetRed(int index, std::uint8_t value) { entry(index).peRed = value; }
    void SetGreen(int index, std::uint8_t value) { entry(index).peGreen = value; }
    void SetBlue(int index, std::uint8_t value) { entry(index).peBlue = value; }
    ///@}
    /// Appends an entry when there is room; used while building a palette.
    void addColour(std::uint8_t red, std::uint8_t green, std::uint8_t blue);

    /// The channels of an entry (Exception "Invalid palette index (%1)"
    /// outside the entries).
    void GetRGBColours(std::uint8_t index, std::uint8_t& red, std::uint8_t& green,
                       std::uint8_t& blue) const {
        if (index >= count_) throwBadIndex(index);
        const TPaletteEntry& e = entries_[index];
        red = e.peRed;
        green = e.peGreen;
        blue = e.peBlue;
    }
    /// An entry as 0x00BBGGRR (Exception "Invalid palette index (%1)"
    /// outside the entries).
    std::uint32_t GetPalEntry(int index) const;
    /// An entry as a toolkit colour (ELogPalError outside the entries).
    TColor GetColour(int index) const;
    ///@{
    /// Between channels and a toolkit RGB colour (0x00BBGGRR).
    static TColor RGBToColor(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    static void ColorToRGB(TColor colour, std::uint8_t& red, std::uint8_t& green, std::uint8_t& blue);
    ///@}
    /// The first entry of exactly that colour; 0 when there is none.
    int GetColourIndex(TColor colour) const;
    /// The nearest entry of the colour, as GetNearestIndex.
    int GetNearestColourIndex(TColor colour);
    /// The first entry of exactly that colour; without one, the nearest. (The
    /// cell-based search may settle on a neighbour of an entry it holds.)
    int indexOfColour(TColor colour);
    /// The nearest entry of a colour-table entry's colour, as GetNearestIndex.
    int GetNearestRGBColourIndex(TRGBQuad quad);
    /// @p other's entries are this palette's first ones, in the same order.
    bool IsSubPalette(const TLogicalPalette* other) const;
    ///@{
    /// Every colour of the image the palette was made for is an entry of it
    /// (the quantizer's palettes say so when the image had few enough).
    bool GetIsExact() const { return isExact_; }
    void SetIsExact(bool exact) { isExact_ = exact; }
    ///@}

    /// Makes the 128 KiB cache, empty, unless there is one (EOutOfMemory
    /// when it cannot be had).
    void InitCache();
    /// Lets the cache go.
    void FreeCache();
    /// Takes over another palette's cache, when it has one; the entries must
    /// be the same.
    void copyCacheFrom(const TLogicalPalette& other);
    /// The palette has a cache.
    bool hasCache() const { return cache_ != nullptr; }
    /// The nearest entry of the colour's cell, from the cache when it knows
    /// it (filling the cell's box when there is a cache). An empty palette
    /// answers 0.
    std::uint8_t GetNearestIndex(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
        if (cache_) {
            const std::uint16_t known = cache_[cellIndex(red >> 3, green >> 2, blue >> 3)];
            if (known != 0 && known <= count_) return std::uint8_t(known - 1);
        }
        return nearestSlow(red, green, blue);
    }
    /// The nearest entry of a colour whose channels are clamped to 0 ... 255,
    /// and what is left of each channel; fills the cache as it goes (making
    /// it when there is none). An empty palette answers 0, leaving nothing.
    int ResolveColours(int red, int green, int blue, int& redError, int& greenError, int& blueError) {
        red = red < 0 ? 0 : red > 255 ? 255 : red;
        green = green < 0 ? 0 : green > 255 ? 255 : green;
        blue = blue < 0 ? 0 : blue > 255 ? 255 : blue;
        if (cache_) {
            const std::uint16_t known = cache_[cellIndex(red >> 3, green >> 2, blue >> 3)];
            if (known != 0 && known <= count_) {
                const TPaletteEntry& e = entries_[known - 1];
                redError = red - e.peRed;
                greenError = green - e.peGreen;
                blueError = blue - e.peBlue;
                return known - 1;
            }
        }
        return resolveSlow(red, green, blue, redError, greenError, blueError);
    }

    /// The best entry for every cell of the box that holds the cell (red and
    /// blue 0 ... 31, green 0 ... 63): FindNearbyColours, then FindBestColours.
    void GetBestColours(int cellRed, int cellGreen, int cellBlue, TBestColourList& list) const;
    /// The entries that can be nearest to some point of the box whose first
    /// cell centre is (minRed, minGreen, minBlue), in 8-bit channel values.
    void FindNearbyColours(int minRed, int minGreen, int minBlue, TColourList& list) const;
    /// For each cell of that box the nearest of the candidates in @p list;
    /// on a tie the earlier entry.
    void FindBestColours(int minRed, int minGreen, int minBlue, const TColourList& list,
                         TBestColourList& best) const;
    /// Fills the cache for the box holding the cell; cells already known
    /// keep their entry. Needs the cache.
    void FillInverseColourMap(int cellRed, int cellGreen, int cellBlue);
    /// The cache entry of a cell (index + 1, 0 while unknown); needs the cache.
    std::uint16_t* GetCacheCell(int cellRed, int cellGreen, int cellBlue) {
        return &cache_[cellIndex(cellRed, cellGreen, cellBlue)];
    }

protected:
    /// Gives a toolkit bitmap the entries as its palette; other
    /// destinations raise EConvertError.
    void AssignTo(TPersistent* dest) override;

private:
    static int cellIndex(int r, int g, int b) { return r << 11 | g << 5 | b; }
    [[noreturn]] static void throwBadIndex(int index);
    const TPaletteEntry& entry(int index) const;
    TPaletteEntry& entry(int index);
    std::uint8_t nearestSlow(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
    void forgetStaleCache(int cell);
    int resolveSlow(int red, int green, int blue, int& redError, int& greenError, int& blueError);

    std::uint16_t version_ = 0x300;
    std::vector<TPaletteEntry> entries_;
    int count_ = 0;
    std::unique_ptr<std::uint16_t[]> cache_;
    bool isExact_ = true;
};
