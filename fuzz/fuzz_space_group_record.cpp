// The two space-group files on arbitrary bytes: the record of the number and setting that the
// first line names, expanded as the engine expands it, and the setting lookups.
#include <cstdlib>

#include "crystal/operator_expansion.h"
#include "fuzz/fuzz_input.h"
#include "structure/space_group_lookup.h"

using namespace tarnell;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::filesystem::path path = fuzz::inputFile(data, size, "spgra.dat");
    const std::string text(reinterpret_cast<const char*>(data), size);
    CrystalStructure structure;
    structure.sgNumber = std::atoi(text.substr(0, 3).c_str());
    structure.sgSetting = text.size() > 3 ? std::atoi(text.substr(3, 3).c_str()) : 0;
    structure.sgName = "P b n m";
    structure.cell = {4.75, 10.19, 5.98, 90, 90, 90};
    structure.cellSigma = {0.001, 0.001, 0.001, 0, 0, 0};
    structure.sites = {Site{"Mg1", 1, 0, 0, 0, 0.001, 0, 0, 2, 3}};

    SpaceGroupRecord record;
    CrystalStructure lookedUp = structure;
    if (findSpaceGroupRecord(readSpaceGroupData(path), lookedUp, record).ok()) {
        OperatorTable table;
        const int count =
            expandSymmetryOperators(record.operatorLineCount, record.centrosymmetricFlag,
                                    record.operatorTexts, record.groupCodes, table);
        fuzz::require(count <= MaxOperators, "at most MaxOperators operators");
        fuzz::require(table.size() == static_cast<std::size_t>(count) &&
                          record.operatorTexts.size() == table.size(),
                      "one text per operator");
    }
    for (const SettingLookup lookup : {SettingLookup::Monoclinic, SettingLookup::Orthorhombic}) {
        CrystalStructure resolved = structure;
        resolved.uniqueAxis = "b";
        (void)resolveSpaceGroupSetting(lookup, resolved, path);
    }
    return 0;
}
