// The one data model of a crystal structure: what the readers fill, what the space-group lookup
// completes, what the engine's phases consume and what the front end shows and edits.
// Units: cell edges and distances in Å, angles in degrees, coordinates and their uncertainties
// as fractions of the cell edges, charges in elementary charges. An uncertainty of 0 means that
// none was given.
#pragma once

#include <array>
#include <map>
#include <string>
#include <vector>

#include "settings/messages.h"

namespace tarnell {

// The user's word for a site is "species". A guard against absurd input, not a capacity: P1
// supercells of tens of thousands of atoms compute.
inline constexpr int MaxSites = 100000;

struct Site {
    std::string name;  // label: element symbol followed, as a rule, by a number (Na1, O2)
    double g = 1.0;    // occupancy: the share of the position this site's atom fills
    double x = 0.0, y = 0.0, z = 0.0;
    double sx = 0.0, sy = 0.0, sz = 0.0;
    double charge = 0.0;  // formal charge ("Valence" in the front end)
    double dLimit = 0.0;  // upper limit of the distances searched around this site
    // The oxidation state where a reader scaled `charge` by the occupancy (ICSD, CIF); 0 where
    // the charge itself is the formal valence (native file, Kestrin).
    double valence = 0.0;
    // The chemical element, as the periodic table writes it (Fe, O), decided once by the reader;
    // empty where the file names none (AMCSD water "Wat1"): such a site forms no bond.
    std::string element{};
};

// The label rule: a label tells its element by its first character, and the second too when
// that is a lower-case letter (Fe1 gives Fe, O12 gives O, CA1 gives C).
inline std::string elementSymbol(const std::string& label) {
    if (label.size() > 1 && label[1] >= 'a' && label[1] <= 'z') return label.substr(0, 2);
    return label.substr(0, 1);
}

// The formal valence of a site: its oxidation state, whatever share of it the charge carries.
inline double formalValence(const Site& site) {
    return site.valence != 0.0 ? site.valence : site.charge;
}

enum class CrystalSystem {
    Unknown = 0,
    Triclinic,
    Monoclinic,
    Orthorhombic,
    Tetragonal,
    Trigonal,
    Hexagonal,
    Cubic
};

struct CrystalStructure {
    std::string title;
    std::string sgName;  // Hermann–Mauguin symbol with blanks between its parts: P 1 21/c 1
    int sgNumber = 0;
    int sgSetting = 1;
    CrystalSystem crystalSystem = CrystalSystem::Unknown;  // set by the space-group lookup only
    std::array<double, 6> cell{};                          // a, b, c, alpha, beta, gamma
    std::array<double, 6> cellSigma{};                     // same order
    std::string uniqueAxis;   // "a", "b", "c" for a monoclinic cell, or empty
    std::vector<Site> sites;  // at most MaxSites, in file order
    // The file's own group where no record of the space-group data file describes it (an origin
    // or a cell of its own): every operator, centring included, as x,y,z triplets. Empty: the
    // group is the data file's record of sgNumber and sgSetting.
    std::vector<std::string> symmetryOperators;
    // What the reader left out or changed on the way, one message each, for the console, the top
    // of the report and Kestrin.
    std::vector<Message> notes;
    // The symbol of the axes the file gave, when the reader converted cell and coordinates to
    // the standard axes of the group (P b n m to P n m a); empty when it did not.
    std::string convertedFrom;
    // The file's sum formula (CIF `_chemical_formula_sum`), element by element, and the formula
    // units in the cell (`_cell_formula_units_Z`); empty and 0 where the file gives none. They
    // tell how much hydrogen the sites do not place.
    std::map<std::string, double> formula;
    double formulaUnits = 0.0;

    int siteCount() const { return static_cast<int>(sites.size()); }
};

// Selects the one structure reader; the values are those of the engine's options -b, -r, -i, -c.
enum class ReaderMode { NativeFile = 0, MorvekListing = 1, IcsdText = 2, CifFile = 3 };

}  // namespace tarnell
