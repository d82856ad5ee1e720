#include "structure/site_label.h"

#include <cctype>
#include <cstdlib>
#include <gemmi/elem.hpp>

#include "crystal/crystal_structure.h"

namespace tarnell {

namespace {

// The type symbol without a qualifier in parentheses at its end.
std::string withoutQualifier(const std::string& typeSymbol) {
    const std::size_t open = typeSymbol.find('(');
    if (open == std::string::npos || open == 0 || typeSymbol.back() != ')') return typeSymbol;
    return typeSymbol.substr(0, open);
}

bool isHydroxide(const std::string& typeSymbol) {
    return typeSymbol.size() >= 2 &&
           std::toupper(static_cast<unsigned char>(typeSymbol[0])) == 'O' && typeSymbol[1] == 'H' &&
           typeSymbol.find_first_not_of("0123456789.+-", 2) == std::string::npos;
}

}  // namespace

bool typeSymbolQualified(const std::string& typeSymbol) {
    const std::string plain = withoutQualifier(typeSymbol);
    return !elementOfTypeSymbol(typeSymbol).empty() && (plain != typeSymbol || isHydroxide(plain));
}

std::map<std::string, double> formulaCounts(const std::string& formula) {
    std::map<std::string, double> counts;
    for (std::size_t i = 0; i < formula.size(); ++i) {
        if (!std::isupper(static_cast<unsigned char>(formula[i]))) continue;
        std::string symbol(1, formula[i]);
        if (i + 1 < formula.size() && std::islower(static_cast<unsigned char>(formula[i + 1])))
            symbol += formula[++i];
        std::size_t end = i + 1;
        while (end < formula.size() &&
               (std::isdigit(static_cast<unsigned char>(formula[end])) || formula[end] == '.'))
            ++end;
        const std::string digits = formula.substr(i + 1, end - i - 1);
        if (elementOfTypeSymbol(symbol).empty()) continue;
        double count = 1.0;
        if (!digits.empty() && digits != ".") {
            char* stop = nullptr;
            count = std::strtod(digits.c_str(), &stop);
        }
        counts[symbol] += count;
        i = end - 1;
    }
    return counts;
}

std::set<std::string> formulaElements(const std::string& formula) {
    std::set<std::string> elements;
    for (const auto& [element, count] : formulaCounts(formula)) elements.insert(element);
    return elements;
}

std::string elementConfirmedByFormula(const std::string& label,
                                      const std::set<std::string>& formula) {
    if (label.empty() || labelNamesElement(label)) return {};
    const std::string first(1,
                            static_cast<char>(std::toupper(static_cast<unsigned char>(label[0]))));
    if (!formula.count(first)) return {};
    if (label.size() > 1) {
        std::string two = first;
        two += static_cast<char>(std::tolower(static_cast<unsigned char>(label[1])));
        if (formula.count(two)) return {};
    }
    return first;
}

std::string elementOfTypeSymbol(const std::string& given) {
    const std::string plain = withoutQualifier(given);
    const std::string typeSymbol =
        isHydroxide(plain) ? plain.substr(0, 1) + plain.substr(2) : plain;
    std::string letters;
    std::size_t pos = 0;
    while (pos < typeSymbol.size() && std::isalpha(static_cast<unsigned char>(typeSymbol[pos]))) {
        letters += typeSymbol[pos++];
    }
    if (letters.empty() || letters.size() > 2) return {};
    // Only a charge may follow the element: "H2O" names water, not hydrogen.
    if (typeSymbol.find_first_not_of("0123456789.+-", pos) != std::string::npos) return {};
    letters[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(letters[0])));
    if (letters.size() == 2) {
        letters[1] = static_cast<char>(std::tolower(static_cast<unsigned char>(letters[1])));
    }
    const gemmi::Element element(letters);
    if (element == gemmi::El::X || letters != element.name()) return {};
    return letters;
}

bool labelNamesElement(const std::string& label) {
    const std::string element = elementSymbol(label);
    return !element.empty() && elementOfTypeSymbol(element) == element;
}

int atomicNumber(const std::string& element) {
    const gemmi::Element found(element);
    return found == gemmi::El::X ? 0 : found.atomic_number();
}

std::string elementOfAtomicNumber(int z) {
    if (z < 1 || z > static_cast<int>(gemmi::El::Og)) return {};
    return gemmi::Element(z).name();
}

std::string elementOfLabel(const std::string& label) {
    return labelNamesElement(label) ? elementSymbol(label) : std::string();
}

std::string labelWithElement(const std::string& label, const std::string& element) {
    if (element.empty() || elementSymbol(label) == element) return label;
    if (label.size() >= element.size()) {
        bool sameLetters = true;
        for (std::size_t i = 0; i < element.size(); ++i) {
            sameLetters = sameLetters && std::toupper(static_cast<unsigned char>(label[i])) ==
                                             std::toupper(static_cast<unsigned char>(element[i]));
        }
        if (sameLetters) {
            std::string mended = element + label.substr(element.size());
            // "O" in "OS1" mended is still "Os1": the case alone cannot tell the element then.
            if (elementSymbol(mended) == element) return mended;
        }
    }
    return element + label;
}

}  // namespace tarnell
