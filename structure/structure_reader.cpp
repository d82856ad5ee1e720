#include "structure/structure_reader.h"

#include <cctype>
#include <exception>
#include <fstream>
#include <system_error>

#include "settings/text.h"
#include "structure/cif_file.h"
#include "structure/icsd_text.h"
#include "structure/morvek_listing.h"
#include "structure/native_file.h"

namespace tarnell {
namespace {

int readFormat(ReaderMode mode, std::istream& in, const std::filesystem::path& path,
               CrystalStructure& structure, const ReaderContext& context, std::string& message) {
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

}  // namespace

std::optional<ReaderMode> readerModeForOption(const std::string& option) {
    if (option == "-b") return ReaderMode::NativeFile;
    if (option == "-r") return ReaderMode::MorvekListing;
    if (option == "-i") return ReaderMode::IcsdText;
    if (option == "-c") return ReaderMode::CifFile;
    return std::nullopt;
}

std::optional<ReaderMode> readerModeForExtension(const std::string& extension) {
    std::string lower = extension;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "inp") return ReaderMode::NativeFile;
    if (lower == "lst") return ReaderMode::MorvekListing;
    if (lower == "txt") return ReaderMode::IcsdText;
    if (lower == "cif") return ReaderMode::CifFile;
    return std::nullopt;
}

int readStructure(ReaderMode mode, const std::filesystem::path& path, CrystalStructure& structure,
                  const ReaderContext& context, std::string& message) {
    structure.uniqueAxis.clear();
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        message = formatText(context.wording.isDirectory, path.string().c_str());
        return -1;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        message = formatText(context.wording.structureFileNotFound, path.string().c_str());
        return -1;
    }
    // A library that fails inside a reader (a read error of the stream, gemmi) ends the read
    // like any other failure.
    try {
        return readFormat(mode, in, path, structure, context, message);
    } catch (const std::exception& failure) {
        message = formatText(context.wording.readFailure, path.string().c_str(), failure.what());
        return -1;
    }
}

}  // namespace tarnell
