#include "structure/structure_reader.h"

#include <fstream>

#include "settings/text.h"
#include "structure/cif_file.h"
#include "structure/icsd_text.h"
#include "structure/morvek_listing.h"
#include "structure/native_file.h"

namespace tarnell {

int readStructure(ReaderMode mode, const std::filesystem::path& path, CrystalStructure& structure,
                  const ReaderContext& context, std::string& message) {
    structure.uniqueAxis.clear();
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = formatText(context.wording.structureFileNotFound, path.string().c_str());
        return -1;
    }
    switch (mode) {
        case ReaderMode::NativeFile:
            return readNativeFile(in, path, structure, context.wording, message);
        case ReaderMode::MorvekListing:
            return readMorvekListing(in, path, structure, context, message);
        case ReaderMode::IcsdText:
            return readIcsdText(in, path, structure, context, message);
        case ReaderMode::CifFile:
            return readCifFile(in, path, structure, context, message);
        default:
            message = context.wording.unknownFormat;
            return -1;
    }
}

}  // namespace tarnell
