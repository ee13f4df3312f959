#pragma once

#include <QByteArray>
#include <cstdint>

// The tester's wire protocol: command bytes, reply lengths and the layouts
// of the replies. Replies are byte strings, one byte per character.
namespace tester {

constexpr std::uint8_t kAttention = 0x02;
constexpr std::uint8_t kIdentify = 0x0B;
constexpr std::uint32_t kIdentityLength = 10;
constexpr int kIdentityGap = 10;      // the one byte of the reply that is not part of the number
constexpr int kTypeCodeOffset = 6;    // the number's character that names the tester's model
constexpr std::uint8_t kLanguageQuery = 0x48;
constexpr std::uint8_t kLanguageSetting = 0x49;
constexpr std::uint8_t kEnglish = 0x00;
constexpr std::uint8_t kPolish = 0xFF;
constexpr char kSensorReaderType = 'J';

struct RecordCommand {
    std::uint8_t code;
    std::uint32_t replyLength;
};
constexpr RecordCommand kExecutorRecord{22, 100};
constexpr RecordCommand kExecutorId{19, 10};
constexpr RecordCommand kLogHeader{60, 4};
constexpr RecordCommand kSensorNumber{54, 10};
constexpr RecordCommand kPairing{55, 12};
constexpr RecordCommand kSensorType{56, 12};
constexpr RecordCommand kProductionDate{66, 5};
constexpr RecordCommand kMaxCurrentH{58, 4};
constexpr RecordCommand kMinCurrentH{59, 4};
constexpr RecordCommand kMaxCurrentL{69, 4};
constexpr RecordCommand kMinCurrentL{70, 4};
constexpr std::uint8_t kLogPageCodes[] = {61, 62, 63, 67, 71};
constexpr int kSamplesPerPage = 60;
constexpr int kMaxSamples = 300;

// The tester's number text: every reply byte but the gap byte.
QByteArray identityNumber(const QByteArray& reply);

// The model name for a type code, or null for a code the station does not know.
const char* testerModelName(char typeCode);

struct ExecutorRecord {
    QByteArray name, postalCode, city, street;
};
// Four fields read with one running position, each ended by its delimiter
// (consumed) or by its cap. The end of the reply ends every field.
ExecutorRecord decodeExecutorRecord(const QByteArray& reply);

struct LogHeader {
    std::int32_t sampleCount = 0;  // 0: the sensor holds no log
    std::int32_t pageLength = 0;   // awaited bytes of each log page
};
// Bytes missing from a short reply count as zero. A page-length byte of
// 0x80 or more is taken as its unsigned value: as a signed length it could
// never be awaited.
LogHeader decodeLogHeader(const QByteArray& reply);

// Sample word k of a log page, low byte first; missing bytes count as zero.
std::uint16_t sampleWord(const QByteArray& page, int k);

}  // namespace tester
