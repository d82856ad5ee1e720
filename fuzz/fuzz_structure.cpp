// One structure reader, chosen by FUZZ_READER_MODE, on arbitrary bytes: whatever it accepts must
// be a record the later phases can take as it stands.
#include <cmath>
#include <set>

#include "crystal/cell_metric.h"
#include "fuzz/fuzz_input.h"
#include "structure/structure_reader.h"

using namespace tarnell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = fuzz::inputFile(data, size, "structure");
    const ReaderContext context{3.0, fuzz::sourceDir() / "data" / "sgtrans.dat"};
    CrystalStructure structure;
    const Status read =
        readStructure(static_cast<ReaderMode>(FUZZ_READER_MODE), path, structure, context);
    if (!read.ok()) {
        const std::string message = read.text(Program::Engine);
        fuzz::require((!message.empty() && message.back() == '\n') ||
                          message.find("exceeds") != std::string::npos,
                      "a refusal says why in one line");
        fuzz::require(fuzz::printable(message.substr(0, message.size() - 1)),
                      "a refusal is printable");
        return 0;
    }
    fuzz::require(structure.siteCount() <= MaxSites, "at most MaxSites sites");
    fuzz::require(fuzz::printable(structure.title), "printable title");
    fuzz::require(fuzz::printable(structure.sgName), "printable symbol");
    std::set<std::string> labels;
    for (const Site& site : structure.sites) {
        fuzz::require(fuzz::printable(site.name) && site.name.find(' ') == std::string::npos,
                      "printable label without blanks");
        fuzz::require(labels.insert(site.name).second, "labels are unique");
        for (const double value : {site.x, site.y, site.z, site.sx, site.sy, site.sz, site.charge,
                                   site.dLimit, site.g}) {
            fuzz::require(std::isfinite(value), "finite site values");
        }
    }
    if (checkCell(structure.cell, structure.cellSigma).ok()) {
        const Matrix3 metric = metricTensor(structure.cell);
        for (const auto& row : metric) {
            for (const double value : row) fuzz::require(std::isfinite(value), "finite metric");
        }
    }
    return 0;
}
