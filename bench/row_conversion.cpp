#include "bench/row_conversion.h"

RowConversion::RowConversion(TDeviceIndependentBitmap& source, TLogicalPalette& palette,
                             TDithererClass ditherer)
    : target_(TDIBFormat::dt8bit, source.GetWidth(), source.GetHeight()),
      reader_(source.GetReader()),
      writerOwner_(target_.GetWriter()),
      writer_(static_cast<TDIBMappedWriter*>(writerOwner_.get())) {
    writer_->SetPalette(&palette);
    writer_->SetDitherer(ditherer);
}

void RowConversion::rewind() {
    reader_->Reset(0, 1);
    writer_->Reset(0, 1);
}

void RowConversion::run() {
    rewind();
    while (!reader_->EndOfScan()) {
        writer_->SetRowFrom(reader_.get());
        reader_->NextRow();
        writer_->NextRow();
    }
}

void RowConversion::run(TDitherer& ditherer) {
    rewind();
    while (!reader_->EndOfScan()) {
        ditherer.SetRowIndicies(reader_.get());
        reader_->NextRow();
        writer_->NextRow();
    }
}

void RowConversion::resetCache(TLogicalPalette& palette) {
    TLogicalPalette plain;
    plain.Assign(&palette);  // entries only: Assign leaves the cache behind
    writer_->SetPalette(&plain);
}
