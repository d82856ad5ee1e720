// The landscape's view of a structure: the ions that stay in place while a mobile ion moves
// through the cell, each with what the grid needs of it and nothing of the readers' record. Only
// landscape_frame.cpp knows the structure record, the operator table and the parameter table;
// the grid, the percolation and the cube file work on this plain frame.
// Units: cell edges in Å, angles in degrees, positions as fractions of the cell edges.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "settings/status.h"

namespace tarnell {

struct CrystalStructure;
struct ParameterTable;
struct SymmetryOperator;

// The mobile ion whose landscape is drawn, as "Li+", "Mg2+", "O2-".
struct TestIon {
    std::string element;
    int valence = 0;  // signed
};

// "Li+", "Li1+", "Mg2+", "F-", "O2-": an element symbol, an optional charge and a sign. None for
// anything else, a charge of 0 or above 9 included.
std::optional<TestIon> parseTestIon(const std::string& text);

// "Li+", "Mg2+", "O2-" as the ion is written back.
std::string testIonName(const TestIon& ion);

// One atom of the cell (every symmetry image, each once) that stays while the mobile ion moves.
struct FrameIon {
    std::array<double, 3> position{};  // fractional, in [0, 1)
    std::string label;                 // the site's label
    std::string element;
    double valence = 0.0;    // signed formal valence
    double occupancy = 1.0;  // the share of the position the ion fills
    // A counter-ion (sign opposite to the test ion's) bonds with it: s = g·exp((r0 - d)/b).
    bool counterIon = false;
    double r0 = 0.0;  // Å
    double b = 0.0;   // Å
};

// Which table line a pair of test ion and counter-ion takes, for the outputs to name.
struct PairParameter {
    std::string counterIon;  // "O2-"
    double r0 = 0.0;
    double b = 0.0;
    std::string reference;  // the table's reference identifier
};

struct LandscapeFrame {
    std::array<double, 6> cell{};  // a, b, c, alpha, beta, gamma
    TestIon ion;
    std::vector<FrameIon> ions;
    // The positions of the mobile ion's own sites, taken out of the frame; kept for the cube
    // file's atom list and for a reader who checks what was removed.
    std::vector<FrameIon> removed;
    std::vector<PairParameter> pairs;
    std::vector<std::string> notes;  // one line each: valences taken from the element, say
};

// Builds the frame of `structure`: every site expanded by `operators` into the cell, images
// closer than 0.02 Å taken as one; the mobile ion's sites removed (those named in
// `mobileLabels`, or, when it is empty, every site of the test ion's element); the pair
// parameters of each counter-ion from `table` (the first line for both ions and both valences,
// else one whose cation valence is unspecified; its own b, else `defaultB`). A site without a
// formal valence is taken as the usual anion of its element (O2-, F-, Cl-, S2-, N3- ...) or
// else as a cation of the first valence the table gives it, with a note. With
// `preferredReference` set, a pair takes the first line of that reference identifier where the
// table has one (the softness-sensitive lines of Adams 2001, "c" in the IUCr table, are meant
// for a 6 Å cutoff), else the rule above. Fails with a message for a label that names no site,
// a structure whose counter-ions lack a table line, and a structure without counter-ions.
Status buildLandscapeFrame(const CrystalStructure& structure,
                           const std::vector<SymmetryOperator>& operators,
                           const ParameterTable& table, const TestIon& ion,
                           const std::vector<std::string>& mobileLabels, double defaultB,
                           LandscapeFrame& frame, const std::string& preferredReference = {});

}  // namespace tarnell
