#include "crystal/operator_expansion.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <string_view>

#include "crystal/operator_text.h"
#include "settings/text.h"

namespace tarnell {
namespace {

using Vector = std::array<double, 3>;

struct Centring {
    int code;
    int vectorCount;
    std::array<Vector, 3> vectors;
};

// The six-digit values of the rhombohedral centring are part of the system's numbers: the
// distance list shows the images they give, so they are not replaced by 2/3 and 1/3.
constexpr std::array<Centring, 9> Centrings{{
    {0, 0, {}},
    {15, 0, {}},
    {21, 0, {}},
    {4, 1, {{{0.0, 0.5, 0.5}}}},
    {5, 1, {{{0.5, 0.0, 0.5}}}},
    {6, 1, {{{0.5, 0.5, 0.0}}}},
    {7, 3, {{{0.0, 0.5, 0.5}, {0.5, 0.0, 0.5}, {0.5, 0.5, 0.0}}}},
    {13, 1, {{{0.5, 0.5, 0.5}}}},
    {14, 2, {{{0.666667, 0.333333, 0.333333}, {0.333333, 0.666667, 0.666667}}}},
}};

const Centring* findCentring(int code) {
    for (const Centring& centring : Centrings) {
        if (centring.code == code) return &centring;
    }
    return nullptr;
}

struct Fraction {
    double value;
    const char* positive;
    const char* negative;
};

// Tried in this order; the first that matches gives the text.
constexpr std::array<Fraction, 11> Fractions{{
    {0.25, "+1/4", "-1/4"},
    {0.5, "+1/2", "-1/2"},
    {0.75, "+3/4", "-3/4"},
    {0.33333, "+1/3", "-1/3"},
    {0.66666, "+2/3", "-2/3"},
    {0.125, "+1/8", "-1/8"},
    {0.375, "+3/8", "-3/8"},
    {0.625, "+5/8", "-5/8"},
    {0.875, "+7/8", "-7/8"},
    // Sixths arise from rhombohedral centring on top of a listed translation (1/2 + 1/3); without
    // a text the report would list an operator other than the one the search applied.
    {0.16667, "+1/6", "-1/6"},
    {0.83333, "+5/6", "-5/6"},
}};

// Texts reach the expansion only after their file's reader has refused every one that does not
// read; one that still does not read gives no operator rather than a guessed one.
SymmetryOperator parseOperatorText(const std::string& text) {
    std::string reason;
    return readOperatorText(text, reason).value_or(SymmetryOperator{});
}

// The coefficient truncated toward zero; only 1, 2, -1 and -2 have a text.
const char* coefficientText(double coefficient, int column) {
    static constexpr std::array<std::array<const char*, 3>, 5> Texts{{
        {"-2x", "-2y", "-2z"},
        {"-x", "-y", "-z"},
        {"", "", ""},
        {"x", "+y", "+z"},
        {"2x", "+2y", "+2z"},
    }};
    const double truncated = std::trunc(coefficient);
    if (!(std::fabs(truncated) <= 2.0)) return "";
    return Texts[static_cast<int>(truncated) + 2][column];
}

const char* translationText(double t) {
    for (const Fraction& f : Fractions) {
        if (std::fabs(t - f.value) < TranslationTolerance && t > 0) return f.positive;
        if (std::fabs(t + f.value) < TranslationTolerance && t < 0) return f.negative;
    }
    return "";
}

// The text of one operator, after its translations are reduced once toward the cell (a sum of
// centring vectors can reach 1.25; 1 and -1 themselves stay).
std::string normaliseOperator(SymmetryOperator& op) {
    std::array<std::string, 3> components;
    for (int i = 0; i < 3; ++i) {
        double& t = op.t[i];
        if (t > 1) {
            t -= 1;
        } else if (t < -1) {
            t += 1;
        }
        std::string text;
        for (int j = 0; j < 3; ++j) text += coefficientText(op.r[i][j], j);
        text += translationText(t);
        if (!text.empty() && text.front() == '+') text.erase(0, 1);
        components[i] = std::move(text);
    }
    return formatText("%s,%s,%s", components[0].c_str(), components[1].c_str(),
                      components[2].c_str());
}

}  // namespace

std::vector<std::array<double, 3>> centringVectors(int centringCode) {
    const Centring* centring = findCentring(centringCode);
    if (centring == nullptr) return {};
    return {centring->vectors.begin(), centring->vectors.begin() + centring->vectorCount};
}

int expandedOperatorCount(int operatorLineCount, int centrosymmetricFlag, int centringCode) {
    const Centring* centring = findCentring(centringCode);
    if (centring == nullptr) return -1;
    long long count = std::max(operatorLineCount, 0);
    if (centrosymmetricFlag == 1) count *= 2;
    count *= centring->vectorCount + 1;
    return static_cast<int>(std::min<long long>(count, INT_MAX));
}

int expandSymmetryOperators(int operatorLineCount, int centrosymmetricFlag,
                            std::vector<std::string>& operatorTexts,
                            const std::array<int, 14>& groupCodes, OperatorTable& table) {
    // Only texts that are there can be parsed.
    const int n = static_cast<int>(std::min<long long>(
        std::max(operatorLineCount, 0), static_cast<long long>(operatorTexts.size())));
    const Centring* listed = findCentring(groupCodes[6]);
    const Centring& centring = listed != nullptr ? *listed : Centrings[0];

    const int inverted = centrosymmetricFlag == 1 ? 2 : 1;
    const int count = n * inverted * (centring.vectorCount + 1);
    table.assign(count, SymmetryOperator{});

    for (int s = 0; s < n; ++s) table[s] = parseOperatorText(operatorTexts[s]);

    // The inverted half keeps the translations of the listed operators.
    int n0 = n;
    if (inverted == 2) {
        for (int s = 0; s < n; ++s) {
            SymmetryOperator& op = table[n + s];
            for (int i = 0; i < 3; ++i) {
                for (int j = 0; j < 3; ++j) op.r[i][j] = -table[s].r[i][j];
            }
            op.t = table[s].t;
        }
        n0 = 2 * n;
    }

    for (int v = 0; v < centring.vectorCount; ++v) {
        const int first = n0 * (v + 1);
        for (int s = 0; s < n0; ++s) {
            SymmetryOperator& op = table[first + s];
            op.r = table[s].r;
            for (int i = 0; i < 3; ++i) op.t[i] = table[s].t[i] + centring.vectors[v][i];
        }
    }

    operatorTexts.resize(count);
    for (int s = 0; s < count; ++s) operatorTexts[s] = normaliseOperator(table[s]);
    return count;
}

}  // namespace tarnell
