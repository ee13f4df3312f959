// The conversion constructor: a copy of a bitmap in another format, its
// colours mapped to a given or computed palette through a ditherer.
#include <algorithm>

#include "imaging/device_independent_bitmap.h"
#include "imaging/ditherers.h"
#include "imaging/imaging_errors.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_writers.h"
#include "imaging/quantizer.h"

namespace {

// A palette for a paletted target when the caller gave none: the source's
// own colour table when it fits, else a median-cut palette of the source
// with as many entries as the target can address.
std::unique_ptr<TLogicalPalette> paletteFor(const TDeviceIndependentBitmap* source,
                                            TDIBFormat format) {
    const int capacity = std::min(1 << bitsPerPixel(format), TLogicalPalette::kMaxColours);
    if (isMapped(source->GetDIBType()) && source->GetNumColours() <= capacity) {
        return std::make_unique<TLogicalPalette>(source);
    }
    return std::make_unique<TQuantizedPalette>(source, capacity);
}

}  // namespace

TDeviceIndependentBitmap::TDeviceIndependentBitmap(TDeviceIndependentBitmap* source,
                                                   TDIBFormat format, TLogicalPalette* palette,
                                                   TDithererClass ditherer,
                                                   const TNotifyEvent& progress)
    : TDeviceIndependentBitmap(static_cast<const TDeviceIndependentBitmap*>(source), format,
                               palette, ditherer, progress) {}

TDeviceIndependentBitmap::TDeviceIndependentBitmap(const TDeviceIndependentBitmap* source,
                                                   TDIBFormat format, TLogicalPalette* palette,
                                                   TDithererClass ditherer,
                                                   const TNotifyEvent& progress)
    : TZVQExtGraphic(source) {
    ReAlloc(format, source->GetWidth(), source->GetHeight());
    setHeaderWord(DibHeader::kXPelsPerMeter, source->headerWord(DibHeader::kXPelsPerMeter));
    setHeaderWord(DibHeader::kYPelsPerMeter, source->headerWord(DibHeader::kYPelsPerMeter));
    std::unique_ptr<TDIBWriter> writer = GetWriter();
    if (!isMapped(format)) {
        // True-colour targets take the colours as they are: no palette, no
        // dithering.
        writer->CopyDIB(source, progress);
        return;
    }
    std::unique_ptr<TLogicalPalette> computed;
    if (!palette) {
        computed = paletteFor(source, format);
        palette = computed.get();
    }
    if (palette->GetCount() > (1 << bitsPerPixel(format))) {
        throw EDIBError(QStringLiteral("Unable to change DIB Colour Table"));
    }
    auto* mapped = static_cast<TDIBMappedWriter*>(writer.get());
    mapped->SetPalette(palette);
    mapped->SetDitherer(ditherer ? ditherer : ditherClassOf<TNoDither>());
    mapped->CopyDIB(source, progress);
    SetColourTable(palette);
}
