#include "bench/our_gif_encoding.h"

#include <algorithm>
#include <cstring>

#include "gif/Zvqgif.h"
#include "gif/lzw_compressor.h"
#include "imaging/Zvqgraph.h"
#include "toolkit/streams.h"

namespace {

// Appends whatever is written to a vector, as giflib's writer in the peers
// does.
class VectorStream : public TStream {
public:
    explicit VectorStream(std::vector<std::uint8_t>& bytes) : bytes_(bytes) {}

    std::int64_t Read(void*, std::int64_t) override { return 0; }
    std::int64_t Write(const void* buffer, std::int64_t count) override {
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        bytes_.insert(bytes_.end(), bytes, bytes + count);
        return count;
    }
    std::int64_t Seek(std::int64_t, TSeekOrigin) override { return std::int64_t(bytes_.size()); }
    std::int64_t Size() override { return std::int64_t(bytes_.size()); }
    void SetSize(std::int64_t size) override { bytes_.resize(std::size_t(size)); }

private:
    std::vector<std::uint8_t>& bytes_;
};

}  // namespace

long long encodeIndicesWithOurs(const std::vector<IndexedFrame>& frames, std::vector<std::uint8_t>& out) {
    out.clear();
    VectorStream stream(out);
    for (const IndexedFrame& frame : frames) {
        // The smallest code size the colour table allows, as giflib takes it.
        const std::size_t colours = frame.palette.size() / 3;
        TZVQ_LZWCompressor coder(&stream, colours <= 2    ? TDIBFormat::dtMonochrome
                                          : colours <= 16 ? TDIBFormat::dt4bit
                                                          : TDIBFormat::dt8bit);
        for (int y = 0; y < frame.height; ++y)
            coder.writeIndices(frame.indices.data() + std::size_t(y) * std::size_t(frame.width), frame.width);
        coder.Finish();
    }
    return (long long)out.size();
}

bool encodeFileWithOurs(const EncodeSource& source, TGIFPaletteQuality quality, const std::string& out) {
    TZVQ_GIFCompressor encoder;
    encoder.SetPaletteQuality(quality);
    if (!source.animated()) {
        TDeviceIndependentBitmap picture(QString::fromStdString(source.files.front()));
        encoder.SaveDIBtoFile(&picture, QString::fromStdString(out));
        return true;
    }
    TFileStream stream(QString::fromStdString(out), TFileMode::Create);
    encoder.OpenImageStream(&stream);
    encoder.WriteLoopControl(0);
    TGIFGraphicControlInfo info;
    info.DelayTime = 40;
    for (const std::string& file : source.files) {
        TDeviceIndependentBitmap frame(QString::fromStdString(file));
        encoder.WriteGIFGraphic(&frame, info);
    }
    encoder.CloseImageStream();
    return true;
}
