// The parameter table BVTable on arbitrary bytes: its data lines, lookups and reference list.
#include <cmath>

#include "fuzz/fuzz_input.h"
#include "valence/parameter_table.h"

using namespace tarnell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = fuzz::inputFile(data, size, "BVTable");
    ParameterTable table;
    if (loadParameterTable(path, table).ok()) {
        fuzz::require(!table.lines.empty(), "a table that loads has parameters");
        for (const ParameterLine& line : table.lines) {
            fuzz::require(line.r0 > 0.0 && line.r0 < MaxR0, "every R0 is plausible");
            fuzz::require(line.b == 0.0 || (line.b > 0.0 && line.b < MaxBvB),
                          "every b is plausible");
        }
        const ParameterLine& first = table.lines.front();
        const std::vector<BondParameter> found =
            lookupBondParameters(table, first.cation, first.anion);
        fuzz::require(!found.empty() && hasBondParameters(table, first.cation, first.anion),
                      "the first line is found");
    }
    std::vector<std::string> references;
    if (readReferenceList(path, MaxReferences, references).ok()) {
        fuzz::require(references.size() <= static_cast<std::size_t>(MaxReferences),
                      "at most MaxReferences references");
    }
    return 0;
}
