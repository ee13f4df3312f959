#include "toolkit/picture.h"

#include <QFileInfo>
#include <typeindex>
#include <vector>

#include "toolkit/bitmap.h"
#include "toolkit/metafile.h"

TPicture::TPicture() = default;

TPicture::~TPicture() = default;

template <typename T>
T* TPicture::graphicOrNew() {
    if (T* graphic = graphicAs<T>()) return graphic;
    auto fresh = std::make_unique<T>();
    T* result = fresh.get();
    graphic_ = std::move(fresh);
    return result;
}

void TPicture::Assign(TPersistent* source) {
    if (!source) {
        Clear();
    } else if (auto* picture = dynamic_cast<TPicture*>(source)) {
        if (picture == this) return;
        if (picture->graphic_) {
            Assign(picture->graphic_.get());
        } else {
            Clear();
        }
    } else if (auto* bitmap = dynamic_cast<TBitmap*>(source)) {
        SetBitmap(bitmap);
    } else if (auto* metafile = dynamic_cast<TMetafile*>(source)) {
        Metafile()->Assign(metafile);
    } else {
        TPersistent::Assign(source);
    }
}

TBitmap* TPicture::Bitmap() {
    return graphicOrNew<TBitmap>();
}

TMetafile* TPicture::Metafile() {
    return graphicOrNew<TMetafile>();
}

bool TPicture::hasBitmap() const {
    return graphicAs<TBitmap>() != nullptr;
}

bool TPicture::hasMetafile() const {
    return graphicAs<TMetafile>() != nullptr;
}

bool TPicture::Empty() const {
    if (const TBitmap* bitmap = graphicAs<TBitmap>()) return bitmap->Empty();
    if (const TMetafile* metafile = graphicAs<TMetafile>()) return metafile->Empty();
    return true;
}

int TPicture::Width() const {
    if (const TBitmap* bitmap = graphicAs<TBitmap>()) return bitmap->Width();
    if (const TMetafile* metafile = graphicAs<TMetafile>()) return metafile->Width();
    return 0;
}

int TPicture::Height() const {
    if (const TBitmap* bitmap = graphicAs<TBitmap>()) return bitmap->Height();
    if (const TMetafile* metafile = graphicAs<TMetafile>()) return metafile->Height();
    return 0;
}

void TPicture::SetBitmap(const TBitmap* bitmap) {
    if (!bitmap) {
        Clear();
        return;
    }
    if (bitmap == graphicAs<TBitmap>()) return;
    auto copy = std::make_unique<TBitmap>();
    // Assign only reads its source.
    copy->Assign(const_cast<TBitmap*>(bitmap));
    graphic_ = std::move(copy);
}

void TPicture::Clear() {
    graphic_.reset();
}

namespace {

struct FileFormat {
    QString extension;  // lower case, without the dot
    QString description;
    std::type_index type;
    TGraphicClass graphicClass;
};

std::vector<FileFormat>& fileFormats() {
    static std::vector<FileFormat> formats{{QStringLiteral("bmp"), QStringLiteral("Bitmaps"), typeid(TBitmap),
                                            [] { return std::make_unique<TBitmap>(); }}};
    return formats;
}

const FileFormat* formatFor(const QString& extension) {
    for (const FileFormat& format : fileFormats()) {
        if (format.extension == extension.toLower()) return &format;
    }
    return nullptr;
}

}  // namespace

void TPicture::registerFileFormat(const QString& extension, const QString& description, const std::type_info& type,
                                  TGraphicClass graphicClass) {
    const QString key = extension.toLower();
    std::erase_if(fileFormats(), [&](const FileFormat& format) { return format.extension == key; });
    fileFormats().push_back({key, description, type, std::move(graphicClass)});
}

void TPicture::unregisterGraphicClass(const std::type_info& type) {
    std::erase_if(fileFormats(), [&](const FileFormat& format) { return format.type == std::type_index(type); });
}

QString TPicture::FileFormatDescription(const QString& extension) {
    const FileFormat* format = formatFor(extension);
    return format ? format->description : QString();
}

QStringList TPicture::fileFormatExtensions() {
    QStringList extensions;
    for (const FileFormat& format : fileFormats()) extensions << format.extension;
    return extensions;
}

void TPicture::LoadFromFile(const QString& fileName) {
    const QString extension = QFileInfo(fileName).suffix();
    const FileFormat* format = formatFor(extension);
    if (!format) throw EInvalidGraphic(QStringLiteral("Unknown picture file extension (.%1)").arg(extension));
    std::unique_ptr<TBitmap> graphic = format->graphicClass();
    graphic->LoadFromFile(fileName);
    if (graphic->Empty()) throw EInvalidGraphic();
    graphic_ = std::move(graphic);
}

void TPicture::SaveToFile(const QString& fileName) const {
    if (const TBitmap* bitmap = graphicAs<TBitmap>()) {
        bitmap->SaveToFile(fileName);
    } else {
        throw EInvalidGraphic();
    }
}
