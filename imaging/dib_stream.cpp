// BMP files: a 14-byte file header in front of the packed bitmap.
#include <QFile>
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <memory>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

#include "imaging/device_independent_bitmap.h"
#include "imaging/dib_layout.h"
#include "imaging/imaging_errors.h"
#include "toolkit/streams.h"

using namespace DibHeader;

namespace {

constexpr int kFileHeaderSize = 14;
// Info headers whose first 40 bytes (and masks at 40) have the common layout.
constexpr std::array<std::uint32_t, 5> kKnownHeaderSizes = {40, 52, 56, 108, 124};

[[noreturn]] void throwInvalidHeader() { throw EDIBError(QStringLiteral("Invalid DIB Header")); }

void readExactly(TStream* stream, void* buffer, std::int64_t count) {
    if (count > 0 && stream->Read(buffer, count) != count) throwInvalidHeader();
}

// Fresh memory for a block whose every byte the caller writes. A large block
// is fresh pages from the system, and on Linux faulting them in 4 KiB at a
// time cost more than reading the file into them: huge pages are asked for.
std::unique_ptr<std::uint8_t[]> blockToOverwrite(std::int64_t size) {
    std::unique_ptr<std::uint8_t[]> block;
    try {
        block = std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(size));
    } catch (const std::bad_alloc&) {
        throw EOutOfMemory();
    }
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t kHugePage = std::uintptr_t(2) << 20;
    if (size >= 4 * std::int64_t(kHugePage)) {
        const auto first =
            (reinterpret_cast<std::uintptr_t>(block.get()) + kHugePage - 1) & ~(kHugePage - 1);
        const auto last = (reinterpret_cast<std::uintptr_t>(block.get()) + std::uintptr_t(size)) &
                          ~(kHugePage - 1);
        // Only a hint: without huge pages the block works the same.
        madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);
    }
#endif
    return block;
}

struct FileHeader {
    std::int64_t fileSize = 0;
    std::int64_t pixelOffset = 0;
};

FileHeader readFileHeader(TStream* stream) {
    std::uint8_t bytes[kFileHeaderSize];
    readExactly(stream, bytes, 2);
    if (bytes[0] != 'B' || bytes[1] != 'M') throwInvalidHeader();
    readExactly(stream, bytes + 2, 12);
    return FileHeader{readLe32(bytes + 2), readLe32(bytes + 10)};
}

// The info header as it will stand in the block: always 40 bytes, followed
// by the masks when the compression is 3.
std::array<std::uint8_t, 52> readInfoHeader(TStream* stream, std::uint32_t& fileHeaderSize) {
    std::array<std::uint8_t, 128> raw{};
    readExactly(stream, raw.data(), 4);
    fileHeaderSize = readLe32(raw.data());
    if (std::find(kKnownHeaderSizes.begin(), kKnownHeaderSizes.end(), fileHeaderSize) ==
        kKnownHeaderSizes.end()) {
        throwInvalidHeader();
    }
    readExactly(stream, raw.data() + 4, fileHeaderSize - 4);
    const std::uint32_t compression = readLe32(raw.data() + kCompression);
    if (readLe16(raw.data() + kPlanes) != 1) throwInvalidHeader();
    // A bare 40-byte header keeps its masks after it; longer ones inside.
    if (compression == kBitFields && fileHeaderSize == kHeaderSize) readExactly(stream, raw.data() + 40, 12);
    std::array<std::uint8_t, 52> header{};
    std::memcpy(header.data(), raw.data(), header.size());
    writeLe32(header.data() + kSize, kHeaderSize);
    return header;
}

}  // namespace

// The header is checked before anything is allocated, so that a file that
// claims gigabytes fails at once, and the object keeps its old block on any
// failure. The pixel rows are taken from the file's pixel offset when it
// lies past the colour table (some writers leave a gap there).
void TDeviceIndependentBitmap::LoadFromStream(TStream* stream) {
    const std::int64_t start = stream->Position();
    const FileHeader file = readFileHeader(stream);
    std::uint32_t fileHeaderSize = 0;
    const std::array<std::uint8_t, 52> header = readInfoHeader(stream, fileHeaderSize);
    const DibLayout layout = dibLayout(header.data(), std::numeric_limits<std::int64_t>::max());
    const std::int64_t tableBytes = layout.infoSize - layout.tableOffset;
    const std::int64_t tableEnd = stream->Position() - start + tableBytes;
    const std::int64_t available = stream->Size() - start;
    const bool offsetUsable = file.pixelOffset > tableEnd && file.pixelOffset + layout.imageSize <= available;
    const std::int64_t pixelStart = offsetUsable ? file.pixelOffset : tableEnd;
    const std::int64_t end = pixelStart + layout.imageSize;
    if (end > available || file.fileSize > available) throwInvalidHeader();
    const std::int64_t blockSize = layout.infoSize + layout.imageSize;
    if (blockSize > std::numeric_limits<int>::max()) throwInvalidHeader();

    // Not zero-filled: the header, the table and the rows (padding included)
    // below cover every byte, and a short read discards the block.
    std::unique_ptr<std::uint8_t[]> block = blockToOverwrite(blockSize);
    std::memcpy(block.get(), header.data(), std::size_t(layout.tableOffset));
    readExactly(stream, block.get() + layout.tableOffset, tableBytes);
    stream->Seek(start + pixelStart, TSeekOrigin::Beginning);
    readExactly(stream, block.get() + layout.infoSize, layout.imageSize);
    adoptBlock(std::move(block), int(blockSize));
    stream->Seek(start + std::max(end, file.fileSize), TSeekOrigin::Beginning);
}

void TDeviceIndependentBitmap::SaveToStream(TStream* stream) const {
    const std::int64_t body = std::int64_t(infoSize_) + GetSize();
    std::uint8_t fileHeader[kFileHeaderSize] = {'B', 'M'};
    writeLe32(fileHeader + 2, std::uint32_t(kFileHeaderSize + body));
    writeLe32(fileHeader + 6, 0);
    writeLe32(fileHeader + 10, std::uint32_t(kFileHeaderSize + infoSize_));
    if (stream->Write(fileHeader, kFileHeaderSize) != kFileHeaderSize ||
        (body > 0 && stream->Write(block_.get(), body) != body)) {
        throw EDIBError(QStringLiteral("Error writing to output stream"));
    }
}

void TDeviceIndependentBitmap::LoadFromFile(const QString& fileName) {
    TFileStream file(fileName, TFileMode::OpenRead);
    LoadFromStream(&file);
}

void TDeviceIndependentBitmap::SaveToFile(const QString& fileName) const {
    TFileStream file(fileName, TFileMode::Create);
    SaveToStream(&file);
}
