#include "sim/transcript.h"

namespace ftsim {

Transcript::~Transcript() {
    open({});
}

void Transcript::open(const std::string& path) {
    if (file_) {
        endStatusRun();
        std::fclose(file_);
        file_ = nullptr;
    }
    if (path.empty()) return;
    file_ = std::fopen(path.c_str(), "a");
    if (!file_)
        std::fprintf(stderr, "ftd2xx sim: cannot write the transcript to %s\n", path.c_str());
}

void Transcript::line(const std::string& text) {
    if (!file_) return;
    endStatusRun();
    put(text);
}

void Transcript::status(FT_STATUS status, DWORD rxBytes) {
    if (!file_) return;
    if (runStatus_ == status) {
        ++furtherCalls_;
        lastRx_ = rxBytes;
        return;
    }
    endStatusRun();
    runStatus_ = status;
    put("status -> " + std::to_string(status) + " rx=" + std::to_string(rxBytes));
}

void Transcript::endStatusRun() {
    if (furtherCalls_ > 0)
        put("status +" + std::to_string(furtherCalls_) + " -> " + std::to_string(*runStatus_) +
            " rx=" + std::to_string(lastRx_));
    runStatus_.reset();
    furtherCalls_ = 0;
}

void Transcript::put(const std::string& text) {
    std::fputs(text.c_str(), file_);
    std::fputc('\n', file_);
    std::fflush(file_);
}

std::string hexBytes(const std::uint8_t* bytes, std::size_t count) {
    static const char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(count * 3);
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out.push_back(' ');
        out.push_back(kDigits[bytes[i] >> 4]);
        out.push_back(kDigits[bytes[i] & 0x0F]);
    }
    return out;
}

}  // namespace ftsim
