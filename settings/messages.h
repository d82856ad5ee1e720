// The system's messages: one catalogue, each message an identifier and its arguments. Code that
// fails or notes something names the message; the program that shows it (the engine in its
// report and console, Kestrin in a message box) adds its own decoration at its edge:
// "  Error !!!  … .\n" in the engine, "  … !!!\n" in Kestrin.
#pragma once

#include <filesystem>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

namespace tarnell {

enum class MessageId {
    // Files
    StructureFileNotFound,  // path
    DataFileNotFound,       // path: a file the settings name, the parameter table
    SettingsFileNotFound,   // path
    KeyNotFound,            // key or marker line a search did not find
    FileIncomplete,         // path: ends before all the lines it announces
    FileCannotBeRead,       // path
    NotRegularFile,         // path: a directory, a FIFO or a device
    IsDirectory,            // path given as a structure file
    LineTooLong,            // line number, path
    ReadFailure,            // path, a library's message
    // Structure files
    SpeciesExceeds,             // the capacity
    UnknownFormat,              //
    BadSiteNumber,              // token, site label
    BadCellNumber,              // token
    BadNumberInLine,            // token, line number, path
    ValueCountInLine,           // line number, path, values found, values wanted
    NotIcsdFormat,              //
    CifUnreadable,              // gemmi's message with file and line
    NoAtomSites,                // path
    NoUnitCell,                 // block, missing item
    SiteWithoutCoordinates,     // label
    LabelTwice,                 // label
    SpaceGroupUnknown,          // what the file gives
    NoSpaceGroup,               // block
    SpaceGroupContradiction,    // two statements
    DummySitesSkipped,          // labels (a note)
    LabelsMadeUnique,           // labels (a note)
    LabelsNameNoElement,        // labels (a note)
    TypeSymbolsQualified,       // type symbols (a note)
    TypeSymbolsNameNoElement,   // type symbols and labels (a note)
    LabelsReadByFormula,        // labels and elements (a note)
    OperatorsUnusable,          // why, what served instead (a note)
    RepeatedItemsIgnored,       // tags whose later values were passed over (a note)
    RepeatedItemUsed,           // tag, block: a repeated item the calculation reads
    SitesListedTwice,           // "O2 (as O1)", ... (a note)
    PositionOverfilled,         // label, label, occupancy sum (a note)
    OccupancyDoubtful,          // label, occupancy (a note)
    CoordinateTooFar,           // axis, value, label, bound
    CoordinateSigmaOutOfRange,  // value, axis, label, bound
    OccupancyOutOfRange,        // value, label, bound
    ValenceOutOfRange,          // value, label, bound
    DistanceLimitOutOfRange,    // value, label, bound
    // Cell and symmetry
    MatrixNotPositive,         //
    CellNotPositive,           //
    CellEdgeNotPositive,       // name, value
    CellAngleOutOfRange,       // name, value
    CellAnglesMakeNoCell,      // alpha, beta, gamma
    CellSigmaInvalid,          // value, parameter
    SpaceGroupNotFound,        // symbol
    BadOperator,               // text, reason
    UnknownCentring,           // number, setting, centring code
    RecordExpandsTooFar,       // number, setting, operator count, capacity
    FileGroupTooLarge,         // operator count, capacity
    FileOperatorUnreadable,    // text
    FileGroupWithoutIdentity,  //
    // Settings
    SettingNotNumber,    // key, value
    SettingOutOfRange,   // key, value, the range
    SettingsTooShort,    // path, line count
    SettingsNotWritten,  // path
    SettingsFailed,      // the first of the two lines of a settings file that cannot serve
    // Parameter table
    NoBondParameters,      // path
    ParameterLineInvalid,  // line number, path, the line
    TooManyReferences,     // EntryNum, capacity
    NoReferenceSection,    //
    BvBNotPositive,        // BV-B
    // Calculation
    SpeciesNameTwice,        // label
    TooManyParameterSets,    // capacity, cation, anion
    TooManyDistanceEntries,  // capacity
    TooManyBondsKept,        // capacity
    TooManyBondsAtSite,      // capacity
    TooManyBondsOverfilled,  // capacity: where sites share positions
    NoDistanceEntry,         // D-max
    NoLinesWithBvB,          // BV-B, D-max
    ResultNotFinite,         // which value
    // Engine run
    OutputNotWritten,       // the report's path could not be written
    OutputCannotBeWritten,  // path
    ListUnreadable,         // path
    FolderUnreadable,       // path
    FolderNotMade,          // path
    NotEveryOutputWritten,  //
    Unexpected,             // what a library threw
    // Landscapes
    NotAStructureFile,    // path
    NoSiteLabelled,       // label
    NoPairParameters,     // cation, anion
    NoCounterIon,         // the test ion
    GridStepNotPositive,  // step
    CutoffOutOfRange,     // largest cutoff, cutoff
    TooManyGridPoints,    // step, points, capacity
    // Structure file writers
    TitleNotOneLine,  //
    LabelNotOneWord,  // label
    FileNotCreated,   // path
    FileNotWritten,   // path; the last identifier
};

using MessageArgument = std::variant<long long, double, std::string>;

struct Message {
    MessageId id = MessageId::Unexpected;
    std::vector<MessageArgument> arguments;
};

// The program that shows a message, whose decoration it takes.
enum class Program { Engine, FrontEnd };

// The message as `program` shows it, decoration and line break included.
std::string messageText(const Message& message, Program program);

// The message's own words, without any program's decoration: for the JSON and for notes that a
// caller lists together.
std::string messageBody(const Message& message);

namespace detail {
template <typename T>
MessageArgument messageArgument(const T& value) {
    if constexpr (std::is_integral_v<T>) {
        return static_cast<long long>(value);
    } else if constexpr (std::is_floating_point_v<T>) {
        return static_cast<double>(value);
    } else if constexpr (std::is_same_v<T, std::filesystem::path>) {
        return value.string();
    } else {
        return std::string(value);
    }
}
}  // namespace detail

// A message from its identifier and arguments: whole numbers, reals, texts and paths.
template <typename... Args>
Message message(MessageId id, const Args&... args) {
    return Message{id, {detail::messageArgument(args)...}};
}

}  // namespace tarnell
