#include "valence/valence_assignment.h"

#include <gtest/gtest.h>

#include <map>

#include "structure/site_label.h"
#include "tests/test_files.h"

namespace tarnell {
namespace {

using test::identity;

// Sites in a cubic cell of 10 Å, each its own image, and their contacts in both directions as
// the search lists them.
struct Structure {
    CrystalStructure structure;
    OperatorTable operators{identity()};
    std::vector<Bond> contacts;
    ParameterTable table;

    explicit Structure(std::vector<const char*> labels) {
        structure.cell = {10, 10, 10, 90, 90, 90};
        double x = 0.0;
        for (const char* label : labels) {
            Site site;
            site.name = label;
            site.element = elementOfLabel(label);
            site.x = x += 0.05;
            structure.sites.push_back(site);
        }
        for (const char* text :
             {"Fe 2 O 2 1.734", "Fe 3 O 2 1.759", "Fe 2 S 2 2.12",  "Fe 3 S 2 2.149",
              "Fe 4 S 2 2.23",  "S 2 S 2 2.03",   "S 4 O 2 1.644",  "S 6 O 2 1.624",
              "Ca 2 O 2 1.967", "N 3 O 2 1.361",  "N 5 O 2 1.432",  "Na 1 O 2 1.803",
              "Mg 2 O 2 1.693", "H 1 O 2 0.907",  "Li 1 H 1 1.21",  "Ti 3 O 2 1.791",
              "Ti 4 O 2 1.815", "Cu 1 O 2 1.593", "Cu 2 O 2 1.679", "P 3 Se 2 2.24",
              "P 9 Se 2 2.26",  "P 4 O 2 1.60",   "P 5 O 2 1.617",  "Mg 2 Se 2 2.32",
              "Mn 3 O 2 1.760", "Mn 4 O 2 1.753", "Li 1 O 2 1.466"}) {
            char cation[3], anion[3];
            ParameterLine line;
            std::sscanf(text, "%2s %d %2s %d %lf", cation, &line.cationValence, anion,
                        &line.anionValence, &line.r0);
            line.cation = cation;
            line.anion = anion;
            line.reference = "t";
            table.lines.push_back(line);
        }
    }
    int index(const std::string& label) const {
        for (std::size_t i = 0; i < structure.sites.size(); ++i)
            if (structure.sites[i].name == label) return static_cast<int>(i);
        ADD_FAILURE() << label;
        return 0;
    }
    void bond(const std::string& a, const std::string& b, double d, int count = 1) {
        for (int k = 0; k < count; ++k) {
            for (const auto& [c, n] : {std::pair{a, b}, std::pair{b, a}}) {
                Bond contact;
                contact.centre = index(c);
                contact.neighbour = index(n);
                contact.d = d;
                contacts.push_back(contact);
            }
        }
    }
    std::map<std::string, bool> anions() const {
        const std::vector<bool> roles = anionSites(structure, contacts, table);
        std::map<std::string, bool> out;
        for (std::size_t i = 0; i < roles.size(); ++i) out[structure.sites[i].name] = roles[i];
        return out;
    }
    ValenceAssignment assign(bool ignoreStated = false) const {
        return assignValences(structure, operators, contacts, table, 0.37, ignoreStated);
    }
    std::map<std::string, double> valences() const {
        const ValenceAssignment a = assign();
        EXPECT_EQ(a.outcome, AssignmentOutcome::Assigned) << a.reason;
        std::map<std::string, double> out;
        for (std::size_t i = 0; i < a.valences.size(); ++i)
            out[structure.sites[i].name] = a.valences[i];
        return out;
    }
};

// S is an anion beside Fe and a cation beside O, N a cation in a nitrate, H a cation on O.
TEST(ValenceAssignment, RolesFollowTheChemistryPresent) {
    Structure pyrite({"Fe1", "S1", "S2"});
    pyrite.bond("Fe1", "S1", 2.26, 3);
    pyrite.bond("Fe1", "S2", 2.26, 3);
    pyrite.bond("S1", "S2", 2.16);
    EXPECT_EQ(pyrite.anions(),
              (std::map<std::string, bool>{{"Fe1", false}, {"S1", true}, {"S2", true}}));

    Structure sulfate({"Ca1", "S1", "O1"});
    sulfate.bond("S1", "O1", 1.47);
    sulfate.bond("Ca1", "O1", 2.45);
    sulfate.bond("Ca1", "S1", 3.10);
    EXPECT_EQ(sulfate.anions(),
              (std::map<std::string, bool>{{"Ca1", false}, {"S1", false}, {"O1", true}}));

    Structure nitrate({"Na1", "N1", "O1"});
    nitrate.bond("N1", "O1", 1.25);
    nitrate.bond("Na1", "O1", 2.40);
    EXPECT_FALSE(nitrate.anions()["N1"]);

    Structure hydroxide({"Mg1", "O1", "H1"});
    hydroxide.bond("O1", "H1", 0.97);
    hydroxide.bond("Mg1", "O1", 2.10);
    EXPECT_EQ(hydroxide.anions(),
              (std::map<std::string, bool>{{"Mg1", false}, {"O1", true}, {"H1", false}}));
}

TEST(ValenceAssignment, ChargeBalanceAndSumsChooseTheStates) {
    // CaSO4: S6+ is the one neutral choice.
    Structure sulfate({"Ca1", "S1", "O1", "O2", "O3", "O4"});
    for (const char* o : {"O1", "O2", "O3", "O4"}) {
        sulfate.bond("S1", o, 1.47);
        sulfate.bond("Ca1", o, 2.45, 2);
    }
    EXPECT_EQ(sulfate.valences(),
              (std::map<std::string, double>{
                  {"Ca1", 2}, {"S1", 6}, {"O1", -2}, {"O2", -2}, {"O3", -2}, {"O4", -2}}));

    // NaNO3 with N5+, Mg(OH)2 with H+.
    Structure nitrate({"Na1", "N1", "O1", "O2", "O3"});
    for (const char* o : {"O1", "O2", "O3"}) {
        nitrate.bond("N1", o, 1.25);
        nitrate.bond("Na1", o, 2.40, 2);
    }
    EXPECT_EQ(nitrate.valences()["N1"], 5);
    Structure hydroxide({"Mg1", "O1", "O2", "H1", "H2"});
    hydroxide.bond("O1", "H1", 0.97);
    hydroxide.bond("O2", "H2", 0.97);
    hydroxide.bond("Mg1", "O1", 2.10, 3);
    hydroxide.bond("Mg1", "O2", 2.10, 3);
    EXPECT_EQ(hydroxide.valences(), (std::map<std::string, double>{
                                        {"Mg1", 2}, {"O1", -2}, {"O2", -2}, {"H1", 1}, {"H2", 1}}));

    // Mg2P2Se6: the table's P–Se lines are one for P3+ and one for any state, so P4+, which
    // the table knows with O, is open.
    Structure thiophosphate({"Mg1", "Mg2", "P1", "P2", "Se1", "Se2", "Se3", "Se4", "Se5", "Se6"});
    for (std::size_t i = 4; i < 10; ++i) thiophosphate.structure.sites[i].y = 0.15 * i;  // no pairs
    for (const char* se : {"Se1", "Se2", "Se3", "Se4", "Se5", "Se6"}) {
        thiophosphate.bond(se[2] <= '3' ? "P1" : "P2", se, 2.20);
        thiophosphate.bond("Mg1", se, 2.70);
        thiophosphate.bond("Mg2", se, 2.70);
    }
    EXPECT_EQ(thiophosphate.valences().at("P1"), 4);
}

// Fe3O4: no single state of Fe is neutral; the short tetrahedral bonds take Fe3+, one of the
// octahedral sites Fe2+.
TEST(ValenceAssignment, MixedValenceWhereNoSingleStateBalances) {
    Structure magnetite({"Fe1", "Fe2", "Fe3", "O1", "O2", "O3", "O4"});
    for (const char* o : {"O1", "O2", "O3", "O4"}) {
        magnetite.bond("Fe1", o, 1.89);
        magnetite.bond("Fe2", o, 2.12, 1);
        magnetite.bond("Fe3", o, 2.02, 1);
    }
    magnetite.bond("Fe2", "O1", 2.12, 2);
    magnetite.bond("Fe3", "O2", 2.02, 2);
    const ValenceAssignment a = magnetite.assign();
    ASSERT_EQ(a.outcome, AssignmentOutcome::Assigned) << a.reason;
    EXPECT_TRUE(a.mixed);
    EXPECT_EQ(a.valences[0], 3);
    EXPECT_EQ(a.valences[1], 2);  // the longer bonds
    EXPECT_EQ(a.valences[2], 3);
}

// FeS2: an S–S pair at a single-bond length is the persulfide S2(2-), each S one charge, so Fe2+
// follows from the charge (its sum alone would call it Fe4+). S–S at a contact distance, or a
// pair of half-occupied split positions, is no pair.
TEST(ValenceAssignment, AnionPairsAtBondLengthCarryOneChargeEach) {
    struct Case {
        const char* what;
        double sulfurDistance;
        double occupancy;
        double beta;
        double iron, sulfur;
    };
    for (const Case& c :
         std::vector<Case>{{"persulfide", 2.16, 1.0, 90, 2, -1},
                           {"persulfide in a monoclinic cell", 2.16, 1.0, 120, 2, -1},
                           {"no pair at a contact distance", 3.30, 1.0, 90, 4, -2},
                           {"split positions", 2.16, 0.5, 90, 2, -2}}) {
        Structure pyrite({"Fe1", "S1", "S2"});
        pyrite.structure.cell[4] = c.beta;
        pyrite.structure.sites[1].x = 0.3;
        pyrite.structure.sites[2].x = 0.3 + c.sulfurDistance / 10.0;
        for (int s : {1, 2}) pyrite.structure.sites[static_cast<std::size_t>(s)].g = c.occupancy;
        pyrite.bond("Fe1", "S1", 2.26, 3);
        pyrite.bond("Fe1", "S2", 2.26, 3);
        const auto v = pyrite.valences();
        EXPECT_EQ(v.at("Fe1"), c.iron) << c.what;
        EXPECT_EQ(v.at("S1"), c.sulfur) << c.what;
        EXPECT_EQ(v.at("S2"), c.sulfur) << c.what;
    }
    // A file that states S- keeps it, and its Fe is summed with the S2- lines.
    Structure stated({"Fe1", "S1", "S2"});
    stated.structure.sites[1].x = 0.3;
    stated.structure.sites[2].x = 0.516;
    stated.structure.sites[1].charge = stated.structure.sites[2].charge = -1;
    stated.bond("Fe1", "S1", 2.26, 3);
    stated.bond("Fe1", "S2", 2.26, 3);
    const ValenceAssignment a = stated.assign();
    ASSERT_EQ(a.outcome, AssignmentOutcome::Assigned) << a.reason;
    EXPECT_EQ(a.valences[0], 2);
    EXPECT_EQ(a.sources[1], ValenceSource::File);
}

TEST(ValenceAssignment, StatedValencesStayAndNoNeutralChoiceIsSaid) {
    // Cations stated, anions not: the anions get theirs, the cations keep the file's.
    Structure sulfate({"Ca1", "S1", "O1", "O2", "O3", "O4"});
    for (const char* o : {"O1", "O2", "O3", "O4"}) {
        sulfate.bond("S1", o, 1.47);
        sulfate.bond("Ca1", o, 2.45, 2);
    }
    sulfate.structure.sites[0].charge = 2;
    sulfate.structure.sites[1].charge = 6;
    const ValenceAssignment a = sulfate.assign();
    ASSERT_EQ(a.outcome, AssignmentOutcome::Assigned);
    EXPECT_EQ(a.sources[1], ValenceSource::File);
    EXPECT_EQ(a.sources[2], ValenceSource::Assigned);
    EXPECT_EQ(a.valences[2], -2);
    // The check ignores the file: a stated S4+ is found to be S6+.
    sulfate.structure.sites[1].charge = 4;
    EXPECT_EQ(sulfate.assign(true).valences[1], 6);

    // Fe2+ and Fe3+ rows stated, O not: one element with two stated states still balances.
    // Unstated, the two half-filled rows at one position take those states too, the lower for
    // the row listed first (their sums, the same, cannot tell them apart).
    for (const bool statedRows : {true, false}) {
        Structure rows({"Fe1", "Fe2", "O1", "O2"});
        rows.structure.sites[1].x = rows.structure.sites[0].x;
        rows.structure.sites[0].g = rows.structure.sites[1].g = 0.5;
        rows.structure.sites[3].g = 0.25;
        if (statedRows) {
            rows.structure.sites[0].charge = 2 * 0.5;
            rows.structure.sites[0].valence = 2;
            rows.structure.sites[1].charge = 3 * 0.5;
            rows.structure.sites[1].valence = 3;
        }
        for (const char* fe : {"Fe1", "Fe2"}) {
            rows.bond(fe, "O1", 2.02, 5);
            rows.bond(fe, "O2", 2.02);
        }
        const ValenceAssignment a = rows.assign();
        ASSERT_EQ(a.outcome, AssignmentOutcome::Assigned) << a.reason;
        EXPECT_EQ(a.valences[0], 2) << statedRows;
        EXPECT_EQ(a.valences[1], 3) << statedRows;
        EXPECT_EQ(a.valences[2], -2) << statedRows;
    }

    // FeS3 of the table's states: Fe would need 6+, which no line knows.
    Structure none({"Fe1", "S1", "S2", "S3"});
    for (const char* s : {"S1", "S2", "S3"}) none.bond("Fe1", s, 2.3, 2);
    const ValenceAssignment failed = none.assign();
    EXPECT_EQ(failed.outcome, AssignmentOutcome::Failed);
    EXPECT_FALSE(failed.reason.empty());
}

// What the sites leave open: hydrogen the formula holds but no site places, occupancies that
// no whole-number assignment balances, a minor ion whose bond lengths are its host's.
TEST(ValenceAssignment, WhatTheSitesDoNotTellComesFromTheFormulaAndUsualStates) {
    // Mg(OH)2 without its H: the formula says two protons per cell are missing.
    const auto brucite = [](std::map<std::string, double> formula) {
        Structure b({"Mg1", "O1", "O2"});
        b.bond("Mg1", "O1", 2.10, 3);
        b.bond("Mg1", "O2", 2.10, 3);
        b.structure.formula = std::move(formula);
        b.structure.formulaUnits = 1;
        return b.assign();
    };
    const ValenceAssignment hidden = brucite({{"Mg", 1}, {"O", 2}, {"H", 2}});
    ASSERT_EQ(hidden.outcome, AssignmentOutcome::Assigned) << hidden.reason;
    EXPECT_DOUBLE_EQ(hidden.hiddenProtons, 2.0);
    EXPECT_DOUBLE_EQ(hidden.charge, -2.0);
    EXPECT_FALSE(hidden.protonsMissing);
    // A formula that does not describe the sites is no count of protons: the old allowance holds.
    const ValenceAssignment other = brucite({{"Mg", 3}, {"O", 2}, {"H", 2}});
    EXPECT_EQ(other.hiddenProtons, 0.0);
    EXPECT_TRUE(other.protonsMissing);
    // Some formulas leave out the H that no site places (antigorite): beyond the rounding of
    // occupancies, protons may still be missing.
    EXPECT_TRUE(brucite({{"Mg", 1}, {"O", 2}}).protonsMissing);

    // FeOOH·H2O whose water no site places: the formula says protons are missing without
    // saying how many, so Fe keeps the state of its sum (3+) rather than the neutral Fe4+.
    Structure goethite({"Fe1", "O1", "O2"});
    goethite.bond("Fe1", "O1", 2.02, 3);
    goethite.bond("Fe1", "O2", 2.02, 3);
    goethite.table.lines.push_back({"Fe", 4, "O", 2, 1.76, "t"});
    goethite.structure.formula = {{"Fe", 1}, {"O", 3}, {"H", 3}};
    EXPECT_EQ(goethite.valences().at("Fe1"), 3);

    // CuO0.97 names no H and no whole-number state is neutral: Cu takes the average 1.94.
    // CuO1.03 would need Cu beyond its usual states: Cu2+ leaves -0.06, the nearest to
    // neutral, and says so.
    for (const double oxygen : {0.97, 1.03}) {
        Structure cuprite({"Cu1", "O1", "O2"});
        cuprite.structure.sites[2].g = oxygen - 0.9;
        cuprite.structure.sites[1].g = 0.9;
        cuprite.bond("Cu1", "O1", 1.95, 4);
        cuprite.bond("Cu1", "O2", 1.95);
        cuprite.structure.formula = {{"Cu", 1}, {"O", oxygen}};
        const ValenceAssignment a = cuprite.assign();
        ASSERT_EQ(a.outcome, AssignmentOutcome::Assigned) << a.reason;
        EXPECT_EQ(a.chargeLeft, oxygen > 1);
        EXPECT_NEAR(a.valences[0], oxygen > 1 ? 2 : 1.94, 1e-9);
        EXPECT_NEAR(a.charge, oxygen > 1 ? -0.06 : 0.0, 1e-9);
    }
    // Li0.5MnO2 (half of LiMn2O4): one Mn site between Mn3+ and Mn4+ takes 3.5.
    Structure spinel({"Li1", "Mn1", "O1", "O2"});
    spinel.structure.sites[0].g = 0.5;
    for (const char* o : {"O1", "O2"}) {
        spinel.bond("Mn1", o, 1.95, 3);
        spinel.bond("Li1", o, 1.95, 2);
    }
    spinel.structure.formula = {{"Li", 0.5}, {"Mn", 1}, {"O", 2}};
    const ValenceAssignment average = spinel.assign();
    ASSERT_EQ(average.outcome, AssignmentOutcome::Assigned) << average.reason;
    EXPECT_DOUBLE_EQ(average.valences[1], 3.5);
    EXPECT_EQ(average.averagedGroupSites, std::vector<int>{1});

    // Na with no contact in the window still carries its charge: the cell is neutral with it.
    Structure far({"Na1", "Mg1", "O1", "O2"});
    far.structure.sites[3].g = 0.5;
    far.bond("Mg1", "O1", 2.10, 4);
    far.bond("Mg1", "O2", 2.10, 2);
    const ValenceAssignment counted = far.assign();
    ASSERT_EQ(counted.outcome, AssignmentOutcome::Assigned) << counted.reason;
    EXPECT_FALSE(counted.protonsMissing);
    EXPECT_EQ(counted.valences[0], 1);
    EXPECT_NEAR(counted.charge, 0.0, 1e-9);

    // Ti at 4 % beside Mg: its bonds are Mg's, whose sum would call it Ti3+.
    Structure minor({"Mg1", "Ti1", "O1", "O2"});
    minor.structure.sites[0].g = 0.96;
    minor.structure.sites[1].g = 0.04;
    minor.structure.sites[3].g = 0.03;
    for (const char* cation : {"Mg1", "Ti1"}) {
        minor.bond(cation, "O1", 2.10, 6);
        minor.bond(cation, "O2", 2.10);
    }
    EXPECT_EQ(minor.valences().at("Ti1"), 4);
}

TEST(SiteLabel, QualifiedTypeSymbolsAndLabelsTheFormulaConfirms) {
    const std::vector<std::pair<const char*, const char*>> types{
        {"O2-(H2O)", "O"}, {"OH-", "O"}, {"O2-(OH)", "O"}, {"Fe3+", "Fe"},
        {"H2O", ""},       {"Ya", ""},   {"Oh", ""},       {"Wat", ""}};
    for (const auto& [type, element] : types) EXPECT_EQ(elementOfTypeSymbol(type), element) << type;
    EXPECT_TRUE(typeSymbolQualified("O2-(H2O)"));
    EXPECT_TRUE(typeSymbolQualified("OH-"));
    EXPECT_FALSE(typeSymbolQualified("O2-"));

    EXPECT_EQ(formulaCounts("Al.34 Ca.6 Fe.2 O6 Si1.82 H"),
              (std::map<std::string, double>{
                  {"Al", 0.34}, {"Ca", 0.6}, {"Fe", 0.2}, {"O", 6}, {"Si", 1.82}, {"H", 1}}));
    const std::set<std::string> formula = formulaElements("Ca Mg O6 Si2 H0.5");
    EXPECT_EQ(formula, (std::set<std::string>{"Ca", "H", "Mg", "O", "Si"}));
    const std::vector<std::pair<const char*, const char*>> labels{
        {"Oa1", "O"}, {"Ob2", "O"}, {"Wat", ""}, {"Mg1", ""}, {"Xx1", ""}};
    for (const auto& [label, element] : labels)
        EXPECT_EQ(elementConfirmedByFormula(label, formula), element) << label;
    // An element spelt by the first two letters is never overruled: "Os" stays osmium.
    EXPECT_EQ(elementConfirmedByFormula("Wat", formulaElements("W O3 H2")), "W");
    EXPECT_EQ(elementConfirmedByFormula("Ca1", formulaElements("Ca C O3")), "");
}

}  // namespace
}  // namespace tarnell
