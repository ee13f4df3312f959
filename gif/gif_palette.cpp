#include "gif/gif_palette.h"

#include <vector>

#include "gif/gif_errors.h"
#include "toolkit/streams.h"

TGIFPalette::TGIFPalette(TStream* stream, int count) {
    std::vector<std::uint8_t> triples(std::size_t(count) * 3);
    if (stream->Read(triples.data(), std::int64_t(triples.size())) != std::int64_t(triples.size())) {
        throw EGIFError(QStringLiteral("Unexpected end of input stream"));
    }
    ReAlloc(count);
    for (int i = 0; i < count; ++i) addColour(triples[3 * i], triples[3 * i + 1], triples[3 * i + 2]);
}
