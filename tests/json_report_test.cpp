#include "valence/json_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <nlohmann/json.hpp>

#include "tests/engine_runs.h"
#include "valence/report.h"

namespace tarnell {
namespace {

// La2Zr2O7 (COD 2002248, tests/data/realworld) with the shipped 2020 table: La–O takes Brese and
// O'Keeffe's line bj with b 0.45, so a JSON that wrote BV-B for every bond would give s values
// that do not follow from its own r0, d and b.
TEST(JsonReport, EachSummaryBondCarriesItsOwnLineCodeAndSigma) {
    const EngineInputs inputs = test::builtInputs();
    const std::filesystem::path file =
        std::filesystem::path(TARNELL_SOURCE_DIR) / "tests/data/realworld/La2Zr2O7.cif";
    const CalculationResult result = calculateFile(ReaderMode::CifFile, file, inputs);
    ASSERT_TRUE(result.summarised()) << result.status.text(Program::Engine);
    const nlohmann::json json = nlohmann::json::parse(resultJson(result, {"9", file, "cif"}));
    EXPECT_EQ(json["format_version"], 2);
    EXPECT_TRUE(json["warnings"].is_array());
    EXPECT_NE(json["settings"]["table"].get<std::string>().find(
                  "from bvparm2020.cif (data_BOND_VALENCE_PARAMETERS_2020-11-25)"),
              std::string::npos)
        << json["settings"]["table"];
    int bonds = 0, ownB = 0;
    for (const auto& site : json["valence_summary"]["sites"]) {
        if (site["site"] == "La1") {
            EXPECT_EQ(site["cn_first_shell"], 8);
        }
        if (site["site"] == "Zr1") {
            EXPECT_EQ(site["cn_first_shell"], 6);
        }
        for (const auto& bond : site["bonds"]) {
            ++bonds;
            const double b = bond["b"], r0 = bond["r0"], d = bond["d"], s = bond["s"];
            EXPECT_NEAR(s, std::exp((r0 - d) / b), 1e-9) << bond;
            EXPECT_NEAR(bond["sigma_s"].get<double>(), s * bond["sigma_d"].get<double>() / b,
                        1e-12);
            EXPECT_FALSE(bond["code"].get<std::string>().empty());
            ownB += b == 0.45;
        }
    }
    EXPECT_GT(bonds, 0);
    EXPECT_GT(ownB, 0);
    EXPECT_FALSE(json["valence_summary"]["gii"].is_null());
}

// A summary whose every site lacks parameters (pyrite read as Fe2+ and S1-) has no index: null,
// never the 0 of a perfect structure.
TEST(JsonReport, NoIndexWhereNoSiteHasParameters) {
    CalculationResult result;
    result.stage = CalculationStage::Summarised;
    result.structure.sites = {Site{"Fe1"}, Site{"S1"}};
    SiteSummary fe;
    fe.site = 0;
    fe.valence = 2;
    fe.missing = "Fe2+ \u2013 S1-";
    result.summary.sites = {fe};
    result.summary.ionsWithValence = 4;
    const nlohmann::json json = nlohmann::json::parse(resultJson(result, {"9", "p.inp", "inp"}));
    // The site keeps its row, saying why it has no sum.
    ASSERT_EQ(json["valence_summary"]["sites"].size(), 1u);
    EXPECT_EQ(json["valence_summary"]["sites"][0]["missing_parameters"], fe.missing);
    EXPECT_TRUE(json["valence_summary"]["sites"][0]["bvs"].is_null());
    EXPECT_TRUE(json["valence_summary"]["gii"].is_null());
    EXPECT_TRUE(json["valence_summary"]["ions_in_cell"].is_null());
    EXPECT_EQ(json["valence_summary"]["ions_with_valence"], 4.0);
}

// Real files whose assignment is not balanced by whole-number states alone say how, in the report
// and the JSON: portlandite's formula counts two protons no site places, an Fe-rich wadsleyite
// (AMCSD 0002451, Fe2.33Si0.67O4) needs Fe at an average; calcite needs neither.
TEST(JsonReport, HowTheAssignmentBalancedTheCellIsSaid) {
    const EngineInputs inputs = test::builtInputs();
    struct Case {
        const char* file;
        const char* line;  // of the report; empty: none of these lines
        double protons;    // 0: null
        const char* averaged;
    };
    for (const Case& c :
         {Case{"general/cod-9009098-Portlandite.cif",
               "The formula holds 2.00 H per cell outside the sums", 2.0, ""},
          Case{"general/amcsd-0002451-Wadsleyite.cif", "Fe takes the average 2.283", 0.0, "Fe"},
          Case{"named/calcite.cif", "", 0.0, ""}}) {
        const std::filesystem::path file =
            std::filesystem::path(TARNELL_SOURCE_DIR) / "tests/data/corpus" / c.file;
        const CalculationResult result = calculateFile(ReaderMode::CifFile, file, inputs);
        ASSERT_TRUE(result.summarised()) << c.file << result.status.text(Program::Engine);
        const std::string report = reportText(result);
        const nlohmann::json json = nlohmann::json::parse(resultJson(result, {"9", file, "cif"}));
        const nlohmann::json& summary = json["valence_summary"];
        if (*c.line == '\0') {
            EXPECT_FALSE(summary.contains("assignment_balance")) << c.file;
            continue;
        }
        EXPECT_NE(report.find(c.line), std::string::npos) << c.file;
        ASSERT_TRUE(summary.contains("assignment_balance")) << c.file;
        const nlohmann::json& balance = summary["assignment_balance"];
        if (c.protons > 0.0) {
            EXPECT_EQ(balance["protons_counted"], c.protons);
            EXPECT_EQ(balance["charge_left"], -c.protons);
        } else {
            EXPECT_TRUE(balance["protons_counted"].is_null());
        }
        if (*c.averaged != '\0') {
            EXPECT_EQ(balance["average_of"], c.averaged);
            EXPECT_NEAR(balance["average"].get<double>(), (8 - 0.67 * 4) / 2.33, 0.01);
            EXPECT_NEAR(balance["charge_left"].get<double>(), 0.0, 1e-9);
        }
    }
}

}  // namespace
}  // namespace tarnell
