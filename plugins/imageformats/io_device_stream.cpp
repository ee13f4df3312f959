#include "io_device_stream.h"

#include <QIODevice>

std::int64_t TIODeviceStream::Read(void* buffer, std::int64_t count) {
    return std::max<std::int64_t>(device_->read(static_cast<char*>(buffer), count), 0);
}

std::int64_t TIODeviceStream::Write(const void* buffer, std::int64_t count) {
    if (muted_) return count;
    return std::max<std::int64_t>(device_->write(static_cast<const char*>(buffer), count), 0);
}

std::int64_t TIODeviceStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    const std::int64_t base = origin == TSeekOrigin::Beginning ? 0
                              : origin == TSeekOrigin::Current ? device_->pos()
                                                               : device_->size();
    if (base + offset < 0 || (base + offset != device_->pos() && !device_->seek(base + offset))) {
        throw EStreamError(QStringLiteral("Stream seek error"));
    }
    return device_->pos();
}

std::int64_t TIODeviceStream::Size() { return device_->size(); }

void TIODeviceStream::SetSize(std::int64_t) { throw EStreamError(QStringLiteral("Stream size cannot change")); }
