#pragma once

#include <QString>

inline const QString kVersion = QStringLiteral("v1.02.008");
