// The element of a site travels in its label: the engine reads it from the label's first letter,
// and from the first two when the second is lower case. A reader that knows the element from
// elsewhere (a type symbol, an element column) makes the label tell it.
#pragma once

#include <string>

namespace tarnell {

// The element of a type symbol, written as the periodic table writes it: "Fe3+" and "FE" give
// Fe, "O2-" gives O. Empty when the letters name no element ("Wat", "Du", "X").
std::string elementOfTypeSymbol(const std::string& typeSymbol);

// Whether the element that the label rule reads from `label` is one of the periodic table. A
// site whose label names none (AMCSD water "Wat", "Oa1" of a feldspar) forms no bond.
bool labelNamesElement(const std::string& label);

// The element that the label rule reads from `label`, or empty when that is none of the
// periodic table.
std::string elementOfLabel(const std::string& label);

// `label` made to tell `element` under the label rule: unchanged when it already does, its
// first letters set in the element's case when they spell the element in other letters
// (BA1 → Ba1), otherwise the element put in front (M1 of copper → CuM1). An empty element
// leaves the label as it is.
std::string labelWithElement(const std::string& label, const std::string& element);

}  // namespace tarnell
