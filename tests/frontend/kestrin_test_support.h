// What the front end's tests share: a working directory with a settings file, and structures
// with a given number of sites.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

#include "structure/crystal_structure.h"

namespace tarnell::test {

inline void writeTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The settings file as the project ships it.
inline std::string shippedSettings() {
    QFile file(QStringLiteral(TARNELL_SOURCE_DIR "/data/Tarnell.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// A fresh working directory with the shipped settings file; `name` is a template for its
// folder's name, such as "kestrin work XXXXXX".
struct WorkDir {
    explicit WorkDir(const QString& name = QStringLiteral("kestrin-XXXXXX"))
        : dir(QDir::tempPath() + QLatin1Char('/') + name) {
        writeTextFile(path() / "Tarnell.ini", shippedSettings());
    }
    std::filesystem::path path() const { return dir.path().toStdString(); }
    QTemporaryDir dir;
};

// Sites Na1, Na2, ... with charge 2, occupancy 1, x = 0.25, y = 0.5, z = 0.75 and d max 3.
inline CrystalStructure sampleStructure(int siteCount) {
    CrystalStructure structure;
    structure.title = "Sample";
    structure.sgName = "P 1 21/c 1";
    structure.sgNumber = 14;
    structure.cell = {5.6402, 6.1, 7.25, 90.0, 101.5, 90.0};
    structure.cellSigma = {0.0001, 0.0002, 0.0003, 0.0, 0.01, 0.0};
    for (int i = 0; i < siteCount; ++i) {
        structure.sites.push_back({.name = "Na" + std::to_string(i + 1),
                                   .x = 0.25,
                                   .y = 0.5,
                                   .z = 0.75,
                                   .charge = 2.0,
                                   .dLimit = 3.0});
    }
    return structure;
}

}  // namespace tarnell::test
