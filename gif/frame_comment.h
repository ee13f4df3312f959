#pragma once

#include <QByteArray>

#include "toolkit/persistent.h"

// An owned copy of a comment text; null when there is none.
class TComment : public TObject {
public:
    explicit TComment(const char* text = nullptr) { SetComment(text); }
    void SetComment(const char* text) {
        text_ = text ? QByteArray(text) : QByteArray();
        present_ = text != nullptr;
    }
    const char* GetComment() const { return present_ ? text_.constData() : nullptr; }

private:
    QByteArray text_;
    bool present_ = false;
};
