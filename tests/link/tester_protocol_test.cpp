#include <gtest/gtest.h>

#include "link/tester_protocol.h"

using namespace tester;

TEST(TesterProtocol, IdentityNumberLeavesOutOnlyByte10) {
    EXPECT_EQ(identityNumber("0123456789"), QByteArray("0123456789"));
    EXPECT_EQ(identityNumber("0123456789XAB"), QByteArray("0123456789AB"));
    EXPECT_EQ(testerModelName('J'), std::string("Station Tester S3"));
    EXPECT_EQ(testerModelName('G'), std::string("Field Tester F5"));
    EXPECT_EQ(testerModelName('Z'), nullptr);
    EXPECT_EQ(testerModelName('\0'), nullptr);
}

TEST(TesterProtocol, ExecutorRecordFieldsEndAtDelimiterOrCap) {
    const ExecutorRecord empty = decodeExecutorRecord(QByteArray("\x01\x01\x01\x02", 4) + QByteArray(96, 0));
    EXPECT_TRUE(empty.name.isEmpty());
    EXPECT_TRUE(empty.postalCode.isEmpty());
    EXPECT_TRUE(empty.city.isEmpty());
    EXPECT_TRUE(empty.street.isEmpty());

    const QByteArray street31(31, 'S');
    const ExecutorRecord capped = decodeExecutorRecord(QByteArray("a\x01" "b\x01" "c\x01", 6) + street31 + "X\x02");
    EXPECT_EQ(capped.street, street31) << "the street stops at its cap of 31";

    const ExecutorRecord cut = decodeExecutorRecord(QByteArray("Jan\x01" "30", 6));
    EXPECT_EQ(cut.name, QByteArray("Jan"));
    EXPECT_EQ(cut.postalCode, QByteArray("30"));
    EXPECT_TRUE(cut.city.isEmpty()) << "the end of a short reply ends every field";
    EXPECT_TRUE(decodeExecutorRecord(QByteArray()).name.isEmpty());
}

TEST(TesterProtocol, LogHeaderAndSampleWords) {
    LogHeader header = decodeLogHeader(QByteArray("\x00\x78\x01\x2C", 4));
    EXPECT_EQ(header.pageLength, 120);
    EXPECT_EQ(header.sampleCount, 300);
    header = decodeLogHeader(QByteArray("\x00\x78\x00\x00", 4));
    EXPECT_EQ(header.sampleCount, 0);
    EXPECT_EQ(header.pageLength, 0) << "no log: the page length is not taken";
    header = decodeLogHeader(QByteArray("\x00\xF0\xFF\xFF", 4));
    EXPECT_EQ(header.sampleCount, 65535);
    EXPECT_EQ(header.pageLength, 240) << "a length byte past 0x7F is taken unsigned";
    EXPECT_EQ(decodeLogHeader("0").sampleCount, 0) << "a failed request's reply holds no log";
    EXPECT_EQ(decodeLogHeader(QByteArray()).sampleCount, 0);

    const QByteArray page("\x7B\x80\x00\x20\x05", 5);
    EXPECT_EQ(sampleWord(page, 0), 0x807B);
    EXPECT_EQ(sampleWord(page, 1), 0x2000);
    EXPECT_EQ(sampleWord(page, 2), 0x0005) << "a missing high byte counts as zero";
    EXPECT_EQ(sampleWord(page, 50), 0);
}
