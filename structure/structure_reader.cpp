#include "structure/structure_reader.h"

#include <algorithm>
#include <cctype>
#include <exception>
#include <set>
#include <sstream>
#include <system_error>

#include "settings/input_file.h"
#include "settings/text.h"
#include "structure/cif_file.h"
#include "structure/icsd_text.h"
#include "structure/morvek_listing.h"
#include "structure/native_file.h"
#include "structure/site_label.h"
#include "structure/site_values.h"

namespace tarnell {
namespace {

Status readNative(std::istream& in, const std::filesystem::path& path, CrystalStructure& structure,
                  const ReaderContext& /*context*/) {
    return readNativeFile(in, path, structure);
}

}  // namespace

const std::vector<InputFormat>& inputFormats() {
    static const std::vector<InputFormat> formats = {
        {ReaderMode::NativeFile, "-b", "inp", "Input File (*.inp)", readNative},
        {ReaderMode::MorvekListing, "-r", "lst", "Morvek Lst File (*.lst)", readMorvekListing},
        {ReaderMode::IcsdText, "-i", "txt", "ICSD File (*.txt)", readIcsdText},
        {ReaderMode::CifFile, "-c", "cif", "CIF File (*.cif)", readCifFile},
    };
    return formats;
}

const InputFormat& inputFormat(ReaderMode mode) {
    for (const InputFormat& format : inputFormats())
        if (format.mode == mode) return format;
    return inputFormats().front();
}

std::optional<ReaderMode> readerModeForOption(const std::string& option) {
    for (const InputFormat& format : inputFormats())
        if (option == format.option) return format.mode;
    return std::nullopt;
}

std::optional<ReaderMode> readerModeForExtension(const std::string& extension) {
    std::string lower = extension;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const InputFormat& format : inputFormats())
        if (lower == format.extension) return format.mode;
    return std::nullopt;
}

namespace {

// A one-line text: line breaks and tabs become blanks before the rest is made printable.
std::string oneLineText(const std::string& text, std::size_t maxCharacters) {
    std::string line = text;
    for (char& c : line) {
        if (c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') c = ' ';
    }
    return printableText(line, maxCharacters);
}

}  // namespace

void tidyStructureText(CrystalStructure& structure) {
    structure.title = oneLineText(structure.title, MaxTitleLength);
    structure.sgName = oneLineText(structure.sgName, MaxSymbolLength);
    for (Site& site : structure.sites) {
        std::string label = site.name;
        for (char& c : label) {
            if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f') c = '_';
        }
        site.name = printableText(label, MaxLabelLength);
    }
}

Status readStructure(ReaderMode mode, const std::filesystem::path& path,
                     CrystalStructure& structure, const ReaderContext& context) {
    structure.uniqueAxis.clear();
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return Status::failed(message(MessageId::IsDirectory, path.string().c_str()));
    }
    std::string text;
    if (Status read = readInputFile(path, MessageId::StructureFileNotFound, &text); !read.ok()) {
        return read;
    }
    return readStructureText(mode, text, path, structure, context);
}

Status readStructureText(ReaderMode mode, const std::string& text,
                         const std::filesystem::path& name, CrystalStructure& structure,
                         const ReaderContext& context) {
    std::istringstream in(text);
    return readStructure(mode, in, name, structure, context);
}

Status readStructure(ReaderMode mode, std::istream& in, const std::filesystem::path& path,
                     CrystalStructure& structure, const ReaderContext& context) {
    structure.uniqueAxis.clear();
    const auto format = std::find_if(inputFormats().begin(), inputFormats().end(),
                                     [mode](const InputFormat& f) { return f.mode == mode; });
    if (format == inputFormats().end()) return Status::failed(MessageId::UnknownFormat);
    Status read;
    // A library that fails inside a reader (a read error of the stream, gemmi) ends the read
    // like any other failure.
    try {
        read = format->read(in, path, structure, context);
    } catch (const std::exception& failure) {
        read =
            Status::failed(message(MessageId::ReadFailure, path.string().c_str(), failure.what()));
    }
    if (!read.ok()) {
        // A message may quote a token of the file, which can be anything.
        Message failure = read.message();
        for (MessageArgument& argument : failure.arguments) {
            if (std::string* text = std::get_if<std::string>(&argument))
                *text = printableText(*text, MaxMessageLength);
        }
        return Status::failed(std::move(failure));
    }
    tidyStructureText(structure);
    // Labels name the sites in every later list; two sites under one name would share their
    // bonds. Blanks made "_" or a cut label can make two labels equal.
    std::set<std::string> labels;
    std::string noElement;
    for (Site& site : structure.sites) {
        if (!labels.insert(site.name).second) {
            return Status::failed(message(MessageId::LabelTwice, site.name.c_str()));
        }
        site.element = elementOfLabel(site.name);
        if (site.element.empty()) noElement += (noElement.empty() ? "" : ", ") + site.name;
    }
    if (Status values = checkSiteValues(structure); !values.ok()) return values;
    // Such a site keeps its label, and no table line can match it; said, so that the sums of
    // its neighbours, which lack its bonds, are not taken for whole ones.
    if (!noElement.empty()) {
        structure.notes.push_back(message(MessageId::LabelsNameNoElement, noElement.c_str()));
    }
    return {};
}

}  // namespace tarnell
