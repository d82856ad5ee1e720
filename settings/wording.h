// The two wordings of the system's shared messages: the engine writes its messages into the
// report file, the front end shows the same failures in message boxes. Code shared by both
// programs takes the wording of its caller and never picks one itself.
#pragma once

namespace tarnell {

struct Wording {
    // A structure file that cannot be opened (argument: its path).
    const char* structureFileNotFound;
    // A data file named by the settings, or the parameter table, that cannot be opened (path).
    const char* dataFileNotFound;
    // A key or marker line that a search did not find before the end of its file (the key).
    const char* keyNotFound;
    // More sites than a structure can hold (argument: the capacity).
    const char* speciesExceeds;
    // A structure file that ends before all the lines it announces (argument: its path).
    const char* fileIncomplete;
    // A reader mode that names no format.
    const char* unknownFormat;
    // A setting transformation whose matrix cannot be inverted.
    const char* matrixNotPositive;
    // A cell with an edge that is not positive, which no metric can be formed of.
    const char* cellNotPositive;
    // A space group that a lookup did not find (argument: the symbol).
    const char* spaceGroupNotFound;
    // A token of a site that must be a number and is not (arguments: the token, the site label).
    const char* badSiteNumber;
    // A token of the unit cell that must be a number and is not (argument: the token).
    const char* badCellNumber;
    // CIF input (arguments: the file, a block, a label or a symbol as each message says).
    const char* cifUnreadable;           // gemmi's message, with the file and line
    const char* noAtomSites;             // the path
    const char* noUnitCell;              // the block, the missing item
    const char* siteWithoutCoordinates;  // the label
    const char* labelTwice;              // the label
    const char* spaceGroupUnknown;       // the symbol and number, or what the file gives
    const char* noSpaceGroup;            // the block that states no group at all
    // Two statements about the space group that name different groups or settings (each
    // argument says what stated it: "symbol P 21/c", "number 15").
    const char* spaceGroupContradiction;
    // A path that names a directory (argument: the path).
    const char* isDirectory;
    // A failure inside a library while reading (arguments: the path, the library's message).
    const char* readFailure;
    // What a reader left out or changed; the structure is read.
    const char* dummySitesSkipped;    // the skipped labels
    const char* labelsMadeUnique;     // the new labels with the repeated ones
    const char* labelsNameNoElement;  // the labels whose element the periodic table lacks
    const char* operatorsUnusable;    // why, and what gave the group instead
    // An input that exists but cannot be read, and one that is a directory, a FIFO or a device
    // (argument: its path).
    const char* fileCannotBeRead;
    const char* notRegularFile;
    // A line longer than MaxLineLength (arguments: the line number, the path).
    const char* lineTooLong;
    // Positional files: a token that must be a number and is not (token, line number, path), and
    // a line with the wrong count of values (line number, path, values found, values wanted).
    const char* badNumberInLine;
    const char* valueCountInLine;
    // A cell that is no cell: an edge (its name and value), an angle (name and value), the three
    // angles together, an uncertainty (its value and the parameter's name).
    const char* cellEdgeNotPositive;
    const char* cellAngleOutOfRange;
    const char* cellAnglesMakeNoCell;
    const char* cellSigmaInvalid;
    // A symmetry operator text that does not read (the text, the reason).
    const char* badOperator;
    // A settings value: not a number (key, value), out of its range (key, value, the range).
    const char* settingNotNumber;
    const char* settingOutOfRange;
};

inline constexpr Wording EngineWording{
    "  Error !!!  %s file not found.\n",
    "  Error !!!   %s file not found.\n",
    "  Error !!!   %s not found.\n",
    "  Error !!!  Number of species exceeds over %d.",
    "  Error !!!  %s file ends before its last line.\n",
    "  Error !!!  Unknown structure file format.\n",
    "  Error !!!   Matrix not positive defined.\n",
    "  Error !!!   Cell edges must be positive.\n",
    "  %s space group not found !!!\n",
    "  Error !!!  \"%s\" of species %s is not a number.\n",
    "  Error !!!  \"%s\" of the unit cell is not a number.\n",
    "  Error !!!  CIF file cannot be read: %s.\n",
    "  Error !!!  %s has no block with atom sites.\n",
    "  Error !!!  Block %s gives no complete unit cell: %s is missing.\n",
    "  Error !!!  Species %s has no fractional coordinates.\n",
    "  Error !!!  Species label %s is used twice.\n",
    "  Error !!!  Space group %s is not known.\n",
    "  Error !!!  Block %s gives no space group: no usable symmetry operators, symbol or number.\n",
    "  Error !!!  Space group %s and %s contradict each other.\n",
    "  Error !!!  %s is a directory, not a structure file.\n",
    "  Error !!!  %s cannot be read: %s\n",
    "  Note !!!  Dummy sites skipped: %s.\n",
    "  Note !!!  Repeated species labels made unique: %s.\n",
    "  Note !!!  Species labels that name no element, whose sites form no bond: %s.\n",
    "  Note !!!  The listed symmetry operators are unusable (%s); the space group is taken from "
    "the %s.\n",
    "  Error !!!  %s file cannot be read.\n",
    "  Error !!!  %s is not a regular file.\n",
    "  Error !!!  Line %d of %s is longer than 1 MB.\n",
    "  Error !!!  \"%s\" in line %d of %s is not a valid number.\n",
    "  Error !!!  Line %d of %s holds %d values instead of %d.\n",
    "  Error !!!  Cell edge %s = %g must be positive.\n",
    "  Error !!!  Cell angle %s = %g must lie between 0 and 180 degrees.\n",
    "  Error !!!  Cell angles alpha = %g, beta = %g, gamma = %g make no cell.\n",
    "  Error !!!  Uncertainty %g of cell parameter %s must be finite and not negative.\n",
    "  Error !!!  Symmetry operator \"%s\" cannot be read: %s.\n",
    "  Error !!!   %s value \"%s\" is not a number.\n",
    "  Error !!!   %s = %s must be %s.\n",
};

inline constexpr Wording FrontEndWording{
    "  %s file not found !!!\n",
    "  %s file not found !!!\n",
    "%s not found !!!\n",
    "  Number of species exceeds over %d !!!",
    "  %s file ends before its last line !!!\n",
    "  Unknown structure file format !!!\n",
    "  Matrix not positive defined !!!\n",
    "  Cell edges must be positive !!!\n",
    "  %s space group not found !!!\n",
    "  \"%s\" of species %s is not a number !!!\n",
    "  \"%s\" of the unit cell is not a number !!!\n",
    "  CIF file cannot be read: %s !!!\n",
    "  %s has no block with atom sites !!!\n",
    "  Block %s gives no complete unit cell: %s is missing !!!\n",
    "  Species %s has no fractional coordinates !!!\n",
    "  Species label %s is used twice !!!\n",
    "  Space group %s is not known !!!\n",
    "  Block %s gives no space group: no usable symmetry operators, symbol or number !!!\n",
    "  Space group %s and %s contradict each other !!!\n",
    "  %s is a directory, not a structure file !!!\n",
    "  %s cannot be read: %s !!!\n",
    "  Dummy sites skipped: %s !!!\n",
    "  Repeated species labels made unique: %s !!!\n",
    "  Species labels that name no element, whose sites form no bond: %s !!!\n",
    "  The listed symmetry operators are unusable (%s); the space group is taken from the %s "
    "!!!\n",
    "  %s file cannot be read !!!\n",
    "  %s is not a regular file !!!\n",
    "  Line %d of %s is longer than 1 MB !!!\n",
    "  \"%s\" in line %d of %s is not a valid number !!!\n",
    "  Line %d of %s holds %d values instead of %d !!!\n",
    "  Cell edge %s = %g must be positive !!!\n",
    "  Cell angle %s = %g must lie between 0 and 180 degrees !!!\n",
    "  Cell angles alpha = %g, beta = %g, gamma = %g make no cell !!!\n",
    "  Uncertainty %g of cell parameter %s must be finite and not negative !!!\n",
    "  Symmetry operator \"%s\" cannot be read: %s !!!\n",
    "%s value \"%s\" is not a number !!!\n",
    "%s = %s must be %s !!!\n",
};

}  // namespace tarnell
