// Loads arbitrary bytes into an animated image list, saves what it got and
// loads that again. Nothing may crash or touch memory outside its blocks; a
// bad stream ends in one of our exceptions with the frames before it kept.
#include <cstddef>
#include <cstdint>

#include "gif/Zvqanmtn.h"
#include "gif/Zvqgif.h"
#include "toolkit/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    TAnimatedImageList list;
    try {
        TMemoryStream in(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
        list.LoadFromStream(&in);
    } catch (const Exception&) {
    }
    try {
        TMemoryStream out;
        list.SaveToStream(&out);
        TAnimatedImageList again;
        out.SetPosition(0);
        again.LoadFromStream(&out);
    } catch (const Exception&) {
        // Frames the encoder cannot write back (a plain text without a
        // palette, say) end the round trip.
    }
    return 0;
}
