// What the front end's tests share: a working directory with the shipped settings file, and
// structures with a given number of sites.
#pragma once

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>
#include <string>

#include "crystal/crystal_structure.h"

namespace tarnell::test {

inline void writeTextFile(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

inline std::string shippedSettings() {
    QFile file(QStringLiteral(TARNELL_SOURCE_DIR "/data/Tarnell.ini"));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
}

// With a blank in its path, as a user's folders often have.
struct WorkDir {
    WorkDir() : dir(QDir::tempPath() + QStringLiteral("/kestrin work XXXXXX")) {
        writeTextFile(path() / "Tarnell.ini", shippedSettings());
    }
    std::filesystem::path path() const { return dir.path().toStdString(); }
    QTemporaryDir dir;
};

// Sites Na1, Na2, ... with charge 2, occupancy 1, x = 0.25, y = 0.5, z = 0.75 and d max 3.
inline CrystalStructure sampleStructure(int siteCount) {
    CrystalStructure s;
    s.title = "Sample";
    s.sgName = "P 1 21/c 1";
    s.sgNumber = 14;
    s.cell = {5.6402, 6.1, 7.25, 90.0, 101.5, 90.0};
    s.cellSigma = {0.0001, 0.0002, 0.0003, 0.0, 0.01, 0.0};
    for (int i = 1; i <= siteCount; ++i)
        s.sites.push_back({"Na" + std::to_string(i), 1.0, 0.25, 0.5, 0.75, 0, 0, 0, 2.0, 3.0});
    return s;
}

}  // namespace tarnell::test
