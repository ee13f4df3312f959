#pragma once

#include <QByteArray>

#include "toolkit/persistent.h"

/// @file
/// Frame comments.

/// An owned copy of a comment text; null when there is none.
class TComment : public TObject {
public:
    /// A copy of @p text up to its zero byte; null for none.
    explicit TComment(const char* text = nullptr) { SetComment(text); }
    ///@{
    /// The comment: a copy of the text set (null for none), valid until the
    /// next SetComment.
    void SetComment(const char* text) {
        text_ = text ? QByteArray(text) : QByteArray();
        present_ = text != nullptr;
    }
    const char* GetComment() const { return present_ ? text_.constData() : nullptr; }
    ///@}

private:
    QByteArray text_;
    bool present_ = false;
};
