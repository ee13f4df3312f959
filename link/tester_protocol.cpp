#include "link/tester_protocol.h"

namespace tester {

namespace {

std::uint8_t byteAt(const QByteArray& reply, qsizetype index) {
    return index < reply.size() ? static_cast<std::uint8_t>(reply[index]) : 0;
}

QByteArray readField(const QByteArray& reply, qsizetype& position, int cap, char delimiter) {
    QByteArray field;
    while (field.size() < cap && position < reply.size()) {
        const char byte = reply[position++];
        if (byte == delimiter) break;
        field.append(byte);
    }
    return field;
}

struct Model {
    char code;
    const char* name;
};
constexpr Model kModels[] = {
    {'0', "Bridge Module A"}, {'1', "Bridge Module B"}, {'3', "Bench Tester C1"},
    {'6', "Bench Tester C2"}, {'G', "Field Tester F5"}, {'J', "Station Tester S3"},
};

}  // namespace

QByteArray identityNumber(const QByteArray& reply) {
    QByteArray number = reply;
    if (number.size() > kIdentityGap) number.remove(kIdentityGap, 1);
    return number;
}

const char* testerModelName(char typeCode) {
    for (const Model& model : kModels)
        if (model.code == typeCode) return model.name;
    return nullptr;
}

ExecutorRecord decodeExecutorRecord(const QByteArray& reply) {
    qsizetype position = 0;
    ExecutorRecord record;
    record.name = readField(reply, position, 31, 0x01);
    record.postalCode = readField(reply, position, 17, 0x01);
    record.city = readField(reply, position, 21, 0x01);
    record.street = readField(reply, position, 31, 0x02);
    return record;
}

LogHeader decodeLogHeader(const QByteArray& reply) {
    LogHeader header;
    header.sampleCount = byteAt(reply, 2) * 256 + byteAt(reply, 3);
    if (header.sampleCount != 0) header.pageLength = byteAt(reply, 1);
    return header;
}

std::uint16_t sampleWord(const QByteArray& page, int k) {
    return std::uint16_t(byteAt(page, 2 * k) + 256 * byteAt(page, 2 * k + 1));
}

}  // namespace tester
