#pragma once

#include "toolkit/streams.h"

class QIODevice;

// A stream over a Qt device, so that the encoder writes where Qt asks it to.
// While muted, writes are taken and dropped.
class TIODeviceStream : public TStream {
public:
    explicit TIODeviceStream(QIODevice* device) : device_(device) {}

    std::int64_t Read(void* buffer, std::int64_t count) override;
    std::int64_t Write(const void* buffer, std::int64_t count) override;
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override;
    std::int64_t Size() override;
    void SetSize(std::int64_t size) override;
    void setMuted(bool muted) { muted_ = muted; }

private:
    QIODevice* device_;
    bool muted_ = false;
};
