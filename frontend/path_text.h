// File paths between the standard library and Qt, in the platform's own spelling.
#pragma once

#include <QDir>
#include <QString>
#include <filesystem>

namespace tarnell {

inline QString pathText(const std::filesystem::path& path) {
    return QDir::toNativeSeparators(QString::fromStdU16String(path.u16string()));
}

inline std::filesystem::path pathOf(const QString& text) {
    return std::filesystem::path(text.toStdU16String());
}

}  // namespace tarnell
