#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <typeinfo>

#include "toolkit/persistent.h"

class TBitmap;
class TMetafile;

/// @file
/// Pictures and the registry of picture file formats.

/// Makes an empty graphic of one class that reads and writes a file format.
using TGraphicClass = std::function<std::unique_ptr<TBitmap>()>;

/// Holds at most one graphic, a bitmap or a metafile, and owns it. Asking for
/// the bitmap or the metafile makes an empty one when the picture holds
/// something else (or nothing), as toolkit users expect.
class TPicture : public TPersistent {
public:
    /// An empty picture.
    TPicture();
    ~TPicture() override;

    /// Takes a copy of a picture's, bitmap's or metafile's contents; null
    /// empties the picture; other sources raise EConvertError.
    void Assign(TPersistent* source) override;

    ///@{
    /// The graphic, owned by the picture; one of this class replaces (and
    /// destroys) whatever else the picture held.
    TBitmap* Bitmap();
    TMetafile* Metafile();
    ///@}
    ///@{
    /// The picture holds a graphic of this class.
    bool hasBitmap() const;
    bool hasMetafile() const;
    ///@}
    /// True also when the graphic it holds is itself empty.
    bool Empty() const;
    ///@{
    /// The size of the graphic; 0 when there is none.
    int Width() const;
    int Height() const;
    ///@}

    /// Keeps a copy; null empties the picture.
    void SetBitmap(const TBitmap* bitmap);
    /// Destroys the graphic.
    void Clear();

    /// Loads with the graphic class registered for the file's extension (any
    /// letter case; "bmp" is the toolkit bitmap's). An unknown extension or a
    /// file that gives no picture raises EInvalidGraphic ("Unknown picture
    /// file extension (.%1)", %1 the extension, or "Bitmap image is not
    /// valid") and leaves the picture as it was; so do the graphic class's
    /// own errors.
    void LoadFromFile(const QString& fileName);
    /// Saves the bitmap it holds, in that graphic's own format; EInvalidGraphic
    /// "Bitmap image is not valid" when it holds no bitmap.
    void SaveToFile(const QString& fileName) const;

    /// The file-format registry shared by all pictures: files named
    /// *.@p extension (any letter case) load as @p Graphic, which replaces
    /// the class registered for it before.
    template <typename Graphic>
    static void RegisterFileFormat(const QString& extension, const QString& description) {
        registerFileFormat(extension, description, typeid(Graphic), [] { return std::make_unique<Graphic>(); });
    }
    /// Removes every extension registered for @p Graphic.
    template <typename Graphic>
    static void UnregisterGraphicClass() {
        unregisterGraphicClass(typeid(Graphic));
    }
    /// Empty when no class reads that extension.
    static QString FileFormatDescription(const QString& extension);
    /// The registered extensions, lower case, without the dot.
    static QStringList fileFormatExtensions();

private:
    static void registerFileFormat(const QString& extension, const QString& description, const std::type_info& type,
                                   TGraphicClass graphicClass);
    static void unregisterGraphicClass(const std::type_info& type);

    template <typename T>
    T* graphicAs() const {
        return dynamic_cast<T*>(graphic_.get());
    }
    template <typename T>
    T* graphicOrNew();

    std::unique_ptr<TPersistent> graphic_;
};
