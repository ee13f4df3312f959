// Images into a GIF stream: the palette, the blocks before the pixels, and
// the pixels row by row through the LZW coder.
#include <span>

#include "gif/gif_encoder.h"
#include "gif/gif_errors.h"
#include "gif/interlace_passes.h"
#include "gif/lzw_compressor.h"
#include "gif/palette_refinement.h"
#include "imaging/device_independent_bitmap.h"
#include "imaging/ditherers.h"
#include "imaging/logical_palette.h"
#include "imaging/pixel_readers.h"
#include "imaging/pixel_writers.h"
#include "imaging/quantizer.h"
#include "toolkit/streams.h"

namespace {


std::uint8_t aspectByte(double ratio) {
    return ratio == 1.0 ? 0 : std::uint8_t(int(ratio * 64) - 15);
}

}  // namespace

std::unique_ptr<TLogicalPalette> TZVQ_CustomGifCompressor::paletteFor(TDeviceIndependentBitmap* dib) {
    if (grayscale_) return std::make_unique<TLogicalPalette>(TDefaultPalettes::dpGrayscale);
    if (isMapped(dib->GetDIBType())) return std::make_unique<TLogicalPalette>(dib);
    if (paletteQuality_ == TGIFPaletteQuality::High) return refinedPalette(dib, 256);
    return std::make_unique<TQuantizedPalette>(dib, 256);
}

void TZVQ_CustomGifCompressor::WriteDIB(TDeviceIndependentBitmap* dib, const TGIFGraphicControlInfo& info) {
    checkFieldsHold(info.Origin, dib->GetWidth(), dib->GetHeight());
    std::unique_ptr<TLogicalPalette> palette = paletteFor(dib);
    if (globalPalette_->GetCount() == 0) globalPalette_->Assign(palette.get());
    if (!screenDescriptorWritten_) {
        const bool frame = globalFrame_->UseGlobalFrame;
        WriteLogicalScreenDescriptor(frame ? globalFrame_->Width : dib->GetWidth(),
                                     frame ? globalFrame_->Height : dib->GetHeight(),
                                     dib->GetColourBits() == 16 ? 5 : 8, aspectByte(dib->GetAspectRatio()));
    }
    writeLeadingBlocks(info, dib->GetTransparent(), palette->indexOfColour(dib->GetTransparentColour()));
    const bool local = !globalPalette_->IsSubPalette(palette.get());
    WriteImageDescriptor(info.Origin, dib->GetWidth(), dib->GetHeight(), local ? palette.get() : nullptr);
    writePixels(dib, palette.get());
}

void TZVQ_CustomGifCompressor::WriteCodedImage(const TGIFGraphicControlInfo& info, int transparentIndex, QSize size,
                                               const TLogicalPalette* local, const QByteArray& data) {
    checkFieldsHold(info.Origin, size.width(), size.height());
    WriteScreen();
    writeLeadingBlocks(info, transparentIndex >= 0, std::max(transparentIndex, 0), Control::WhenItSaysSomething);
    WriteImageDescriptor(info.Origin, size.width(), size.height(), local);
    GetImageStream()->WriteBuffer(data.constData(), data.size());
}

void TZVQ_CustomGifCompressor::WriteScreen() {
    if (screenDescriptorWritten_) return;
    checkFieldsHold(QPoint(), globalFrame_->Width, globalFrame_->Height);
    WriteLogicalScreenDescriptor(globalFrame_->Width, globalFrame_->Height, 8, 0);
}

void TZVQ_CustomGifCompressor::countRow() {
    ++rowsWritten_;
    DoProgress();
}

// Row by row, pixels are dithered only when the palette cannot hold them
// exactly; the grey palette holds every grey level it has, so a flat grey
// stays flat. Paletted pictures made grey, and interlaced dithered ones, are
// converted whole first, dithered: error diffusion has to run from top to
// bottom, which interlaced rows do not.
void TZVQ_CustomGifCompressor::writePixels(TDeviceIndependentBitmap* dib, TLogicalPalette* palette) {
    const TDithererClass rowDitherer =
        fsDither_ && !palette->GetIsExact() ? ditherClassOf<TFSDitherer>() : ditherClassOf<TNoDither>();
    const TDithererClass convertDitherer = fsDither_ ? ditherClassOf<TFSDitherer>() : ditherClassOf<TNoDither>();
    rowsWritten_ = 0;
    rowsToWrite_ = std::abs(dib->GetHeight());
    if (paletteQuality_ == TGIFPaletteQuality::High && !grayscale_ && !isMapped(dib->GetDIBType())) {
        // Few enough colours: each keeps its own entry, whatever its
        // neighbours. Otherwise each pixel takes its truly nearest entry.
        const std::unique_ptr<TDeviceIndependentBitmap> indexed =
            palette->GetIsExact() ? indexedExactly(dib, palette) : indexedFaithfully(dib, palette, fsDither_);
        writeRows(indexed.get(), palette, ditherClassOf<TNoDither>());
        return;
    }
    const bool convert = (grayscale_ && isMapped(dib->GetDIBType())) ||
                         (interlace_ && fsDither_ && (grayscale_ || !palette->GetIsExact()));
    if (!convert) {
        writeRows(dib, palette, rowDitherer);
        return;
    }
    rowsToWrite_ *= 2;
    TDeviceIndependentBitmap converted(dib, TDIBFormat::dt8bit, palette, convertDitherer,
                                       [this](TObject*) { countRow(); });
    writeRows(&converted, palette, ditherClassOf<TNoDither>());
}

// Paletted bitmaps go to the coder as they are; others pass one row at a
// time through a one-row 8-bit bitmap that maps them onto the palette.
void TZVQ_CustomGifCompressor::writeRows(TDeviceIndependentBitmap* dib, TLogicalPalette* palette,
                                         TDithererClass ditherer) {
    const bool mapped = isMapped(dib->GetDIBType());
    std::unique_ptr<TDIBReader> source = dib->GetReader();
    std::unique_ptr<TDeviceIndependentBitmap> buffer;
    std::unique_ptr<TDIBWriter> bufferWriter;
    std::unique_ptr<TDIBReader> bufferReader;
    if (!mapped) {
        buffer = std::make_unique<TDeviceIndependentBitmap>(TDIBFormat::dt8bit, dib->GetWidth(), 1);
        bufferWriter = buffer->GetWriter();
        auto* writer = static_cast<TDIBMappedWriter*>(bufferWriter.get());
        writer->SetPalette(palette);
        writer->SetDitherer(ditherer);
        bufferReader = buffer->GetReader();
    }
    auto* rowReader = static_cast<TDIBMappedReader*>(mapped ? source.get() : bufferReader.get());
    int rows = 0;
    {
        TZVQ_LZWCompressor coder(GetImageStream(), mapped ? dib->GetDIBType() : TDIBFormat::dt8bit);
        for (const TInterlacePass& pass : imagePasses(interlace_)) {
            for (source->Reset(pass.first, pass.step); !source->EndOfScan(); source->NextRow()) {
                if (!mapped) {
                    bufferWriter->Reset(0, 1);
                    bufferWriter->SetRowFrom(source.get());
                    bufferReader->Reset(0, 1);
                }
                coder.WriteRow(rowReader);
                ++rows;
                countRow();
            }
        }
        coder.Finish();
    }
    if (rows != std::abs(dib->GetHeight())) {
        throw EGIFError(QStringLiteral("Unable to write complete image to stream"));
    }
}
