#include "settings/messages.h"

#include <array>
#include <cstdio>
#include <stdexcept>

namespace tarnell {
namespace {

// What a program puts around a message's words.
struct Decoration {
    const char* prefix;
    const char* suffix;
};

// The engine's: an error line with one, two or three blanks after its mark (each message has
// always had its own), a note, and the lines that both programs word alike.
constexpr Decoration Error1{"  Error !!! ", ".\n"};
constexpr Decoration Error2{"  Error !!!  ", ".\n"};
constexpr Decoration Error3{"  Error !!!   ", ".\n"};
constexpr Decoration Note{"  Note !!!  ", ".\n"};
// Messages that end with a library's own sentence, or that another text follows on the line.
constexpr Decoration Error1Open{"  Error !!! ", "\n"};
constexpr Decoration Error2Open{"  Error !!!  ", "\n"};
constexpr Decoration Error2Unbroken{"  Error !!!  ", "."};
// Kestrin's, and the engine's for the few lines both word alike.
constexpr Decoration Bang{"  ", " !!!\n"};
constexpr Decoration BangFlush{"", " !!!\n"};
constexpr Decoration BangUnbroken{"  ", " !!!"};
constexpr Decoration BangFlushUnbroken{"", " !!!"};

struct Entry {
    MessageId id;
    const char* words;  // printf conversions, one per argument
    Decoration engine;
    Decoration frontEnd;
};

// In the order of MessageId, which the compiler checks below.
constexpr Entry Catalogue[] = {
    {MessageId::StructureFileNotFound, "%s file not found", Error2, Bang},
    {MessageId::DataFileNotFound, "%s file not found", Error3, Bang},
    {MessageId::SettingsFileNotFound, "%s not found", Error3, BangFlushUnbroken},
    {MessageId::KeyNotFound, "%s not found", Error3, BangFlush},
    {MessageId::FileIncomplete, "%s file ends before its last line", Error2, Bang},
    {MessageId::FileCannotBeRead, "%s file cannot be read", Error2, Bang},
    {MessageId::NotRegularFile, "%s is not a regular file", Error2, Bang},
    {MessageId::IsDirectory, "%s is a directory, not a structure file", Error2, Bang},
    {MessageId::LineTooLong, "Line %d of %s is longer than 1 MB", Error2, Bang},
    {MessageId::ReadFailure, "%s cannot be read: %s", Error2Open, Bang},
    {MessageId::SpeciesExceeds, "Number of species exceeds over %d", Error2Unbroken, BangUnbroken},
    {MessageId::UnknownFormat, "Unknown structure file format", Error2, Bang},
    {MessageId::BadSiteNumber, "\"%s\" of species %s is not a number", Error2, Bang},
    {MessageId::BadCellNumber, "\"%s\" of the unit cell is not a number", Error2, Bang},
    {MessageId::BadNumberInLine, "\"%s\" in line %d of %s is not a valid number", Error2, Bang},
    {MessageId::ValueCountInLine, "Line %d of %s holds %d values instead of %d", Error2, Bang},
    {MessageId::NotIcsdFormat, "Not ICSD file format", Bang, Bang},
    {MessageId::CifUnreadable, "CIF file cannot be read: %s", Error2, Bang},
    {MessageId::NoAtomSites, "%s has no block with atom sites", Error2, Bang},
    {MessageId::NoUnitCell, "Block %s gives no complete unit cell: %s is missing", Error2, Bang},
    {MessageId::SiteWithoutCoordinates, "Species %s has no fractional coordinates", Error2, Bang},
    {MessageId::LabelTwice, "Species label %s is used twice", Error2, Bang},
    {MessageId::SpaceGroupUnknown, "Space group %s is not known", Error2, Bang},
    {MessageId::NoSpaceGroup,
     "Block %s gives no space group: no usable symmetry operators, symbol or number", Error2, Bang},
    {MessageId::SpaceGroupContradiction, "Space group %s and %s contradict each other", Error2,
     Bang},
    {MessageId::DummySitesSkipped, "Dummy sites skipped: %s", Note, Bang},
    {MessageId::LabelsMadeUnique, "Repeated species labels made unique: %s", Note, Bang},
    {MessageId::LabelsNameNoElement,
     "Species labels that name no element, whose sites form no bond: %s", Note, Bang},
    {MessageId::TypeSymbolsQualified,
     "Type symbols read by their element, the qualifier set aside: %s", Note, Bang},
    {MessageId::TypeSymbolsNameNoElement,
     "Type symbols that name no element, the label deciding: %s", Note, Bang},
    {MessageId::LabelsReadByFormula,
     "Labels that name no element read by the element the formula confirms: %s", Note, Bang},
    {MessageId::OperatorsUnusable,
     "The listed symmetry operators are unusable (%s); the space group is taken from the %s", Note,
     Bang},
    {MessageId::RepeatedItemsIgnored,
     "Items given twice, of which the first value is taken (they are not used here): %s", Note,
     Bang},
    {MessageId::RepeatedItemUsed, "CIF file cannot be read: item %s given twice in block %s",
     Error2, Bang},
    {MessageId::SitesListedTwice,
     "Sites listed twice (one atom on one position, occupancies adding above 1) merged: %s", Note,
     Bang},
    {MessageId::PositionOverfilled,
     "Sites %s and %s share one position with occupancies adding to %s: the sums and the GII "
     "are doubtful",
     Note, Bang},
    {MessageId::OccupancyDoubtful,
     "Site %s has the occupancy %s, outside 0 to 1: the sums and the GII are doubtful", Note, Bang},
    {MessageId::CoordinateTooFar,
     "Coordinate %s = %.10g of species %s lies beyond %g cells from the origin, where its place "
     "in the cell is lost",
     Error2, Bang},
    {MessageId::CoordinateSigmaOutOfRange,
     "Uncertainty %g of coordinate %s of species %s must lie from 0 to %g", Error2, Bang},
    {MessageId::OccupancyOutOfRange, "Occupancy %g of species %s must lie from 0 to %g", Error2,
     Bang},
    {MessageId::ValenceOutOfRange, "Valence %g of species %s must lie from -%g to %g", Error2,
     Bang},
    {MessageId::DistanceLimitOutOfRange, "Distance limit %g of species %s must lie from 0 to %g",
     Error2, Bang},
    {MessageId::MatrixNotPositive, "Matrix not positive defined", Error3, Bang},
    {MessageId::CellNotPositive, "Cell edges must be positive", Error3, Bang},
    {MessageId::CellEdgeNotPositive, "Cell edge %s = %g must be positive", Error2, Bang},
    {MessageId::CellAngleOutOfRange, "Cell angle %s = %g must lie between 0 and 180 degrees",
     Error2, Bang},
    {MessageId::CellAnglesMakeNoCell, "Cell angles alpha = %g, beta = %g, gamma = %g make no cell",
     Error2, Bang},
    {MessageId::CellSigmaInvalid,
     "Uncertainty %g of cell parameter %s must be finite and not negative", Error2, Bang},
    {MessageId::SpaceGroupNotFound, "%s space group not found", Bang, Bang},
    {MessageId::BadOperator, "Symmetry operator \"%s\" cannot be read: %s", Error2, Bang},
    {MessageId::UnknownCentring, "Space group %d setting %d has an unknown centring code %d",
     Error3, Bang},
    {MessageId::RecordExpandsTooFar,
     "Space group %d setting %d expands to %d operators, more than %d", Error3, Bang},
    {MessageId::FileGroupTooLarge, "The file's space group has %d operators, more than %d", Error3,
     Bang},
    {MessageId::FileOperatorUnreadable, "Symmetry operator %s cannot be read", Error3, Bang},
    {MessageId::FileGroupWithoutIdentity,
     "The file's symmetry operators do not include the identity x,y,z", Error3, Bang},
    {MessageId::SettingNotNumber, "%s value \"%s\" is not a number", Error3, BangFlush},
    {MessageId::SettingOutOfRange, "%s = %s must be %s", Error3, BangFlush},
    {MessageId::SettingsTooShort, "%s has fewer than %d lines", Bang, Bang},
    {MessageId::SettingsNotWritten, "%s cannot be written", Bang, Bang},
    {MessageId::SettingsFailed, "Tarnell.ini file not found", Error1, Bang},
    {MessageId::NoBondParameters, "%s holds no bond valence parameters", Error3, Bang},
    {MessageId::ParameterLineInvalid,
     "Line %d of %s is no bond valence parameter line (R0 above 0 and below 10, b above 0 and "
     "below 2): %s",
     Error3, Bang},
    {MessageId::TooManyReferences, "EntryNum %d is more than %d references", Error1, Bang},
    {MessageId::NoReferenceSection, "No reference section", Error1, Bang},
    {MessageId::BvBNotPositive, "BV-B must be positive, not %g", Error1, Bang},
    {MessageId::SpeciesNameTwice, "Species name %s is used by two sites", Error3, Bang},
    {MessageId::TooManyParameterSets, "More than %d parameter sets for %s - %s", Error3, Bang},
    {MessageId::TooManyDistanceEntries, "Number of distance entry more than %d", Error3, Bang},
    {MessageId::TooManyBondsKept, "More than %d bonds between ions within the distance limits",
     Error3, Bang},
    {MessageId::TooManyBondsAtSite, "Number of distance entry exceed over %d", Error1, Bang},
    {MessageId::TooManyBondsOverfilled,
     "Number of distance entry exceed over %d; sites of this file share positions (see the notes "
     "above), the likely cause",
     Error1, Bang},
    {MessageId::NoDistanceEntry, "No distance entry within less then %5.3lf", Error2, Bang},
    {MessageId::NoLinesWithBvB,
     "No parameter line has b = BV-B = %g for the bonds within %5.3lf; lines of another b "
     "would list them",
     Error2, Bang},
    {MessageId::ResultNotFinite, "The %s is not a finite number", Error2, Bang},
    {MessageId::OutputNotWritten, "Output file not found", Error1, Bang},
    {MessageId::OutputCannotBeWritten, "Output file %s cannot be written", Error1, Bang},
    {MessageId::ListUnreadable, "List %s cannot be read", Error1, Bang},
    {MessageId::FolderUnreadable, "Folder %s cannot be read", Error1, Bang},
    {MessageId::FolderNotMade, "Folder %s cannot be made", Error1, Bang},
    {MessageId::NotEveryOutputWritten, "Not every output could be written", Error1, Bang},
    {MessageId::Unexpected, "%s", Error1Open, Bang},
    {MessageId::NotAStructureFile, "%s is no structure file (.inp, .lst, .txt, .cif)", Error1,
     Bang},
    {MessageId::NoSiteLabelled, "No site is labelled %s", Error1, Bang},
    {MessageId::NoPairParameters, "No bond valence parameters for %s \u2013 %s", Error1, Bang},
    {MessageId::NoCounterIon, "No ion of the structure has the opposite sign of %s", Error1, Bang},
    {MessageId::GridStepNotPositive, "The grid step must be positive, not %g", Error1, Bang},
    {MessageId::CutoffOutOfRange, "The cutoff must lie above 0 and at most %g \u00c5, not %g",
     Error1, Bang},
    {MessageId::TooManyGridPoints,
     "A step of %g \u00c5 gives %.3g grid points, more than %d; take a larger step", Error1, Bang},
    {MessageId::TitleNotOneLine, "Title and space group name must each be one line", Bang, Bang},
    {MessageId::LabelNotOneWord, "Species name \"%s\" must be one word without blanks", Bang, Bang},
    {MessageId::FileNotCreated, "%s file cannot be created", Bang, Bang},
    {MessageId::FileNotWritten, "%s file cannot be written", Bang, Bang},
};

constexpr bool catalogueInOrder() {
    for (std::size_t i = 0; i < std::size(Catalogue); ++i)
        if (static_cast<std::size_t>(Catalogue[i].id) != i) return false;
    return std::size(Catalogue) == static_cast<std::size_t>(MessageId::FileNotWritten) + 1;
}
static_assert(catalogueInOrder(), "every message has its entry, in the order of MessageId");

const Entry& entryOf(MessageId id) {
    const auto index = static_cast<std::size_t>(id);
    if (index >= std::size(Catalogue) || Catalogue[index].id != id)
        throw std::logic_error("message without its catalogue entry");
    return Catalogue[index];
}

// One conversion of `words` with its argument; a conversion that does not take the argument's
// kind is a fault of the program.
void appendConversion(std::string& text, const std::string& spec, const MessageArgument& argument) {
    const char conversion = spec.back();
    char buffer[512];
    int length = 0;
    if (conversion == 's') {
        const std::string* value = std::get_if<std::string>(&argument);
        if (value == nullptr) throw std::logic_error("message argument is no text: " + spec);
        if (spec == "%s") {
            text += *value;
            return;
        }
        length = std::snprintf(buffer, sizeof buffer, spec.c_str(), value->c_str());
    } else if (conversion == 'd') {
        const long long* value = std::get_if<long long>(&argument);
        if (value == nullptr) throw std::logic_error("message argument is no number: " + spec);
        std::string wide = spec.substr(0, spec.size() - 1);
        while (!wide.empty() && (wide.back() == 'l' || wide.back() == 'h' || wide.back() == 'z'))
            wide.pop_back();
        wide += "lld";
        length = std::snprintf(buffer, sizeof buffer, wide.c_str(), *value);
    } else if (conversion == 'g' || conversion == 'f' || conversion == 'e') {
        double value = 0.0;
        if (const double* real = std::get_if<double>(&argument)) {
            value = *real;
        } else if (const long long* whole = std::get_if<long long>(&argument)) {
            value = static_cast<double>(*whole);
        } else {
            throw std::logic_error("message argument is no number: " + spec);
        }
        std::string plain = spec;
        if (plain.size() > 2 && plain[plain.size() - 2] == 'l') plain.erase(plain.size() - 2, 1);
        length = std::snprintf(buffer, sizeof buffer, plain.c_str(), value);
    } else {
        throw std::logic_error("message conversion not known: " + spec);
    }
    if (length > 0) text.append(buffer, std::min<std::size_t>(length, sizeof buffer - 1));
}

}  // namespace

std::string messageBody(const Message& message) {
    const char* words = entryOf(message.id).words;
    std::string text;
    std::size_t next = 0;
    for (const char* c = words; *c != '\0'; ++c) {
        if (*c != '%') {
            text += *c;
            continue;
        }
        std::string spec = "%";
        while (*++c != '\0') {
            spec += *c;
            if (std::string_view("sdgfe").find(*c) != std::string_view::npos) break;
        }
        if (*c == '\0') throw std::logic_error(std::string("message format cut: ") + words);
        if (next >= message.arguments.size())
            throw std::logic_error(std::string("message lacks an argument: ") + words);
        appendConversion(text, spec, message.arguments[next++]);
    }
    if (next != message.arguments.size())
        throw std::logic_error(std::string("message has arguments left: ") + words);
    return text;
}

std::string messageText(const Message& message, Program program) {
    const Entry& entry = entryOf(message.id);
    const Decoration& decoration = program == Program::Engine ? entry.engine : entry.frontEnd;
    return decoration.prefix + messageBody(message) + decoration.suffix;
}

}  // namespace tarnell
