// The element of a site travels in its label: the engine reads it from the label's first letter,
// and from the first two when the second is lower case. A reader that knows the element from
// elsewhere (a type symbol, an element column) makes the label tell it.
#pragma once

#include <map>
#include <set>
#include <string>

namespace tarnell {

// The element of a type symbol, written as the periodic table writes it: "Fe3+" and "FE" give
// Fe, "O2-" gives O. Empty when the letters name no element ("Wat", "Du", "X").
// A qualifier in parentheses after the charge is set aside ("O2-(H2O)" gives O), and the
// hydroxide "OH-" gives O.
std::string elementOfTypeSymbol(const std::string& typeSymbol);

// Whether `typeSymbol` names its element only once a qualifier or the hydroxide's H is set aside.
bool typeSymbolQualified(const std::string& typeSymbol);

// The count of each element that a formula such as "_chemical_formula_sum 'Ca2 Mg5 O24 Si8 H2'"
// names (1 where no number follows the symbol).
std::map<std::string, double> formulaCounts(const std::string& formula);
// The elements that a formula such as "_chemical_formula_sum 'Ca2 Mg5 O24 Si8 H2'" names.
std::set<std::string> formulaElements(const std::string& formula);

// The element of a label that names none under the label rule ("Oa1", "Ob2", "Wat") when its
// first letter alone is an element of `formula` and no element of the formula is spelt by its
// first two letters: "Oa1" is O where the formula holds O; "Wat" is never W without W in it.
// Empty otherwise.
std::string elementConfirmedByFormula(const std::string& label,
                                      const std::set<std::string>& formula);

// Whether the element that the label rule reads from `label` is one of the periodic table. A
// site whose label names none (AMCSD water "Wat", "Oa1" of a feldspar) forms no bond.
bool labelNamesElement(const std::string& label);

// The element that the label rule reads from `label`, or empty when that is none of the
// periodic table.
std::string elementOfLabel(const std::string& label);

// The atomic number of an element symbol ("Fe" gives 26), 0 for none of the periodic table.
int atomicNumber(const std::string& element);

// The symbol of atomic number `z`, empty for none.
std::string elementOfAtomicNumber(int z);

// `label` made to tell `element` under the label rule: unchanged when it already does, its
// first letters set in the element's case when they spell the element in other letters
// (BA1 → Ba1), otherwise the element put in front (M1 of copper → CuM1). An empty element
// leaves the label as it is.
std::string labelWithElement(const std::string& label, const std::string& element);

}  // namespace tarnell
