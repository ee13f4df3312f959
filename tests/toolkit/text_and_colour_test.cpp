#include <QFile>
#include <gtest/gtest.h>

#include "test_support.h"
#include "toolkit/colors.h"
#include "toolkit/cp1250.h"
#include "toolkit/jpeg_image.h"

TEST(Cp1250, DecodesPolishLettersAndStopsAtTheFirstZero) {
    const char bytes[] = "Pr\xB9\x64 \xA3\xF3\x64\x9F\0garbage";
    EXPECT_EQ(fromCp1250(bytes, sizeof bytes - 1), QString::fromUtf8("Prąd Łódź"));
    const char allUpper[] = "\x8C\x9C\xAF\xBF\xCA\xEA\xC6\xE6\xD1\xF1";
    EXPECT_EQ(fromCp1250(allUpper, 10), QString::fromUtf8("ŚśŻżĘęĆćŃń"));
    EXPECT_EQ(fromCp1250("\0abc", 4), QString());
    EXPECT_EQ(fromCp1250(QByteArray("12345\0\0\0\0\0", 10)), QStringLiteral("12345"));
}

TEST(Colours, SystemColoursResolveToTheDefaultScheme) {
    EXPECT_EQ(ColorToRGB(clScrollBar), RGB(200, 200, 200));
    EXPECT_EQ(toQColor(clScrollBar), QColor(200, 200, 200));
    EXPECT_EQ(ColorToRGB(clGreen), RGB(0, 128, 0));
    EXPECT_EQ(toQColor(RGB(1, 2, 3)), QColor(1, 2, 3));
    EXPECT_EQ(GetBValue(RGB(1, 2, 3)), 3);
}

TEST(Jpeg, DecodesTheBannersAndRejectsDamagedData) {
    QFile file(QStringLiteral(QUORVAN_SOURCE_DIR "/app/resources/splash.jpg"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray data = file.readAll();
    const QImage image = decodeJpeg(data);
    EXPECT_EQ(image.size(), QSize(289, 154));
    EXPECT_THROW(decodeJpeg(data.left(20)), Exception);
    EXPECT_THROW(decodeJpeg(QByteArray("not a jpeg")), Exception);
    EXPECT_THROW(decodeJpeg(QByteArray()), Exception);
}
