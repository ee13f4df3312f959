#include "toolkit/picture.h"

#include <gtest/gtest.h>
#include <QPainter>

#include "test_support.h"
#include "toolkit/bitmap.h"
#include "toolkit/component.h"
#include "toolkit/metafile.h"

namespace {

void recordCross(TMetafile& metafile) {
    QPainter painter(metafile.RecordingDevice());
    painter.setPen(Qt::red);
    painter.drawLine(0, 0, 19, 9);
    painter.drawLine(19, 0, 0, 9);
    painter.end();
    metafile.SetSize(20, 10);
}

QImage played(TMetafile& metafile, const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    EXPECT_TRUE(metafile.Play(painter, image.rect()));
    return image;
}

// --- metafile ---

TEST(Metafile, ItsFrameIsTheSizeGivenElseWhatWasDrawn) {
    TMetafile metafile;
    EXPECT_TRUE(metafile.Empty());
    QPainter(metafile.RecordingDevice()).fillRect(QRect(2, 3, 4, 5), Qt::black);
    EXPECT_FALSE(metafile.Empty());
    EXPECT_EQ(metafile.Width(), 4);
    EXPECT_EQ(metafile.Height(), 5);
    metafile.SetSize(30, 20);
    EXPECT_EQ(metafile.Width(), 30);
    EXPECT_EQ(metafile.Height(), 20);
}

TEST(Metafile, PlayScalesTheFrameOntoTheRectangle) {
    TMetafile metafile;
    QPainter(metafile.RecordingDevice()).fillRect(QRect(0, 0, 2, 2), Qt::black);
    metafile.SetSize(4, 4);
    const QImage image = played(metafile, QSize(8, 8));
    EXPECT_EQ(image.pixel(3, 3), qRgb(0, 0, 0));
    EXPECT_EQ(image.pixel(4, 4), qRgb(255, 255, 255));
}

TEST(Metafile, NothingToPlayIsAFailureWithItsReason) {
    TMetafile metafile;
    QImage image(4, 4, QImage::Format_RGB32);
    QPainter painter(&image);
    EXPECT_FALSE(metafile.Play(painter, image.rect()));
    EXPECT_EQ(metafile.LastError(), MetafileError::kNoPicture);
}

TEST(Metafile, AssignCopiesRecordingFrameAndPalette) {
    TMetafile metafile;
    recordCross(metafile);
    metafile.SetPalette({qRgb(1, 2, 3)});
    TMetafile copy;
    copy.Assign(&metafile);
    EXPECT_EQ(copy.Width(), 20);
    EXPECT_EQ(copy.Palette(), metafile.Palette());
    const QImage original = played(metafile, QSize(40, 20));
    EXPECT_EQ(played(copy, QSize(40, 20)), original);
    EXPECT_EQ(original.pixel(0, 0), qRgb(255, 0, 0));
}

// --- picture ---

TEST(Picture, AskingForAGraphicMakesOneInPlaceOfTheOther) {
    TPicture picture;
    EXPECT_TRUE(picture.Empty());
    EXPECT_FALSE(picture.hasBitmap() || picture.hasMetafile());
    picture.Bitmap()->SetSize(5, 6);
    EXPECT_TRUE(picture.hasBitmap());
    EXPECT_EQ(picture.Width(), 5);
    EXPECT_EQ(picture.Height(), 6);
    recordCross(*picture.Metafile());
    EXPECT_FALSE(picture.hasBitmap());
    EXPECT_TRUE(picture.hasMetafile());
    EXPECT_EQ(picture.Width(), 20);
    EXPECT_FALSE(picture.Empty());
}

TEST(Picture, SetBitmapKeepsACopy) {
    TBitmap bitmap;
    bitmap.SetSize(3, 2);
    TPicture picture;
    picture.SetBitmap(&bitmap);
    bitmap.SetSize(9, 9);
    EXPECT_EQ(picture.Width(), 3);
    EXPECT_NE(picture.Bitmap(), &bitmap);
    picture.SetBitmap(nullptr);
    EXPECT_FALSE(picture.hasBitmap());
    EXPECT_TRUE(picture.Empty());
}

TEST(Picture, AssignCopiesTheGraphic) {
    TPicture source;
    recordCross(*source.Metafile());
    TPicture copy;
    copy.Bitmap()->SetSize(1, 1);
    copy.Assign(&source);
    EXPECT_TRUE(copy.hasMetafile());
    EXPECT_NE(copy.Metafile(), source.Metafile());
    EXPECT_EQ(copy.Width(), 20);

    TBitmap bitmap;
    bitmap.SetSize(7, 1);
    copy.Assign(&bitmap);
    EXPECT_EQ(copy.Width(), 7);
    copy.Assign(nullptr);
    EXPECT_TRUE(copy.Empty());
}

TEST(Picture, AnUnrelatedSourceCannotBeAssigned) {
    TPicture picture;
    TComponent component;
    expectThrowWithMessage<EConvertError>([&] { picture.Assign(&component); },
                                          "Cannot assign a TComponent to a TPicture");
}

}  // namespace
