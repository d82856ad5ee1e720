#include "structure/site_label.h"

#include <cctype>
#include <gemmi/elem.hpp>

#include "crystal/crystal_structure.h"

namespace tarnell {

std::string elementOfTypeSymbol(const std::string& typeSymbol) {
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
