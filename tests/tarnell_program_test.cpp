// Runs the built Tarnell as a user or Kestrin would: in its own working directory, with no
// terminal on standard input, so it must never wait for a key.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "engine/run_sequence.h"
#include "structure/native_file.h"
#include "structure/structure_reader.h"
#include "tests/engine_runs.h"

namespace tarnell {
namespace {

using test::Outcome;
using test::readFile;
using test::runTarnell;
using test::TempDir;
using test::writeFile;

TEST(TarnellProgram, UsageFailuresExitWith255WithoutWaitingOrTouchingTheOutput) {
    TempDir dir;
    writeFile(dir / "out.txt", "an old report\n");
    for (const char* arguments :
         {"", "-b", "-b in.inp", "-x in.inp out.txt", "-B in.inp out.txt", "b in.inp out.txt",
          "-b in.inp out.txt extra", "-b in.inp out.txt -x out.json", "--batch outdir"}) {
        const Outcome outcome = runTarnell(dir, arguments);
        EXPECT_EQ(outcome.exitStatus, 255) << arguments;
        EXPECT_EQ(outcome.console, std::string(UsageText) + "Ok?\n") << arguments;
    }
    EXPECT_EQ(readFile(dir / "out.txt"), "an old report\n");
}

// The expected reports were checked once by hand and against tools/check_report.py, an
// independent brute-force calculation in Cartesian coordinates with exact operators and
// numerical derivatives: every distance and sigma(d) to 2e-5 Å, every sum to 0.0001 v.u. By hand:
// NaCl has six Na–Cl bonds of a/2 = 2.8201 Å, 6·exp((2.15 - 2.8201)/0.37) = 0.9809; rutile Ti has
// four bonds of 1.9485 Å and two of 1.9801 Å, 4.0686; hematite Fe has three bonds of 1.9443 Å and
// three of 2.1140 Å, 2.9675 with r0 = 1.759 and 2.7736 with r0 = 1.734.
const std::filesystem::path Source(TARNELL_SOURCE_DIR);
const std::filesystem::path Expected = Source / "tests" / "data" / "reports";

// The report of `input` read with `option`, in a working directory with the parameters of the
// checked reports.
std::string reportOf(const std::string& option, const std::filesystem::path& input) {
    TempDir dir;
    for (const auto& file : {Expected / "Tarnell.ini", Expected / "BVTable",
                             Source / "data" / "spgra.dat", Source / "data" / "sgtrans.dat"}) {
        std::filesystem::copy_file(file, dir / file.filename().string());
    }
    const Outcome outcome = runTarnell(dir, option + " '" + input.string() + "' out.txt");
    EXPECT_EQ(outcome.exitStatus, 0);
    return readFile(dir / "out.txt");
}

TEST(TarnellProgram, BundledExamplesGiveTheirCheckedReports) {
    for (const char* name : {"NaCl", "TiO2-rutile", "Fe2O3-hematite"}) {
        const std::string report =
            reportOf("-b", Source / "examples" / (std::string(name) + ".inp"));
        EXPECT_TRUE(report == readFile(Expected / (std::string(name) + ".out"))) << name;
    }
}

// One structure in every format and every way real files write its group gives the distances and
// sums of its native file; the forms that carry oxidation states give its valence summary too.
// The ICSD exports and CIF files are in P b n m axes and in cell choice 2 of P 1 21/c 1; monazite
// under its short symbol was once read in the wrong cell choice, forsterite's listing in P b n m
// axes once in P n m a axes unconverted, and monazite with its origin moved off the inversion
// centre and the operators of that origin was once refused: that changes the coordinates and the
// operators, so only its sums, which name no coordinates, are compared.
TEST(TarnellProgram, EveryFormatAndWayOfWritingTheGroupGivesTheSameSums) {
    const std::filesystem::path examples = Source / "examples";
    const std::filesystem::path data = Source / "tests" / "data";
    TempDir dir;
    std::string older = readFile(examples / "monazite_older.txt");
    older.replace(older.find("P 1 21/n 1 (14)"), 15, "P 21/n (14)");
    writeFile(dir / "short_symbol.txt", older);
    // As Kestrin hands it on: the native file carries the operators of the moved origin.
    CrystalStructure moved;
    std::string message;
    ASSERT_EQ(
        test::codeOf(readStructure(ReaderMode::CifFile, data / "cif/monazite_moved_origin.cif",
                                   moved, ReaderContext{3.0, {}}),
                     message),
        0);
    ASSERT_EQ(test::codeOf(writeStructureFile(moved, dir / "moved.inp"), message), 0);

    const char* const distances = "  Searched distance:";
    const char* const sums = "  Bond valence sum:";
    const char* const summary = "\n  Valence summary:";
    const char* const gii = "\n  GII";
    const struct {
        const char* native;
        const char* option;
        std::filesystem::path input;
        const char* from;
        const char* to;  // nullptr: the end of the report
    } cases[] = {
        {"forsterite", "-r", examples / "forsterite.lst", distances, summary},
        {"forsterite", "-r", data / "listing/forsterite_pbnm.lst", distances, summary},
        {"forsterite", "-c", examples / "forsterite.cif", distances, gii},
        {"forsterite", "-i", examples / "forsterite_pbnm_older.txt", distances, gii},
        {"forsterite", "-i", examples / "forsterite_pbnm_structured.txt", distances, gii},
        {"monazite", "-r", examples / "monazite.lst", distances, summary},
        {"monazite", "-c", data / "cif/monazite_operators_only.cif", distances, summary},
        {"monazite", "-i", examples / "monazite_older.txt", distances, gii},
        {"monazite", "-i", examples / "monazite_structured.txt", distances, gii},
        {"monazite", "-i", dir / "short_symbol.txt", distances, nullptr},
        {"monazite", "-c", data / "cif/monazite_moved_origin.cif", sums, summary},
        {"monazite", "-b", dir / "moved.inp", sums, summary},
    };
    const auto section = [](const std::string& report, const char* from, const char* to) {
        const std::size_t start = report.find(from);
        if (start == std::string::npos) return "no \"" + std::string(from) + "\" in:\n" + report;
        return report.substr(start, to ? report.find(to, start) - start : std::string::npos);
    };
    std::map<std::string, std::string> natives;
    for (const char* name : {"forsterite", "monazite"}) {
        natives[name] = reportOf("-b", examples / (std::string(name) + ".inp"));
        EXPECT_NE(natives[name].find(sums), std::string::npos) << natives[name];
        EXPECT_NE(natives[name].find("  Site        V "), std::string::npos) << natives[name];
    }
    for (const auto& c : cases) {
        EXPECT_EQ(section(reportOf(c.option, c.input), c.from, c.to),
                  section(natives[c.native], c.from, c.to))
            << c.input;
    }
}

// A batch started with xargs -P or GNU parallel puts many engines into one folder at once; each
// must compute its own input, whatever the others leave in the folder meanwhile.
TEST(TarnellProgram, TwentyEnginesInOneFolderGiveTheReportsOfRunsMadeAlone) {
    const std::filesystem::path examples = Source / "examples";
    std::vector<std::pair<std::string, std::filesystem::path>> inputs;
    for (const auto& entry : std::filesystem::directory_iterator(examples)) {
        const std::string extension = entry.path().extension().string();
        const std::string option = extension == ".inp"   ? "-b"
                                   : extension == ".lst" ? "-r"
                                   : extension == ".txt" ? "-i"
                                                         : "-c";
        inputs.emplace_back(option, entry.path());
    }
    std::sort(inputs.begin(), inputs.end());
    while (inputs.size() < 20) inputs.push_back(inputs[inputs.size() % 15]);
    inputs.resize(20);

    TempDir dir;
    test::copyBuiltWorkDir(dir);
    std::string together = "cd '" + dir.path().string() + "' && (";
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        together += "'" TARNELL_EXE "' " + inputs[i].first + " '" + inputs[i].second.string() +
                    "' out" + std::to_string(i) + ".txt < /dev/null > /dev/null 2>&1 & ";
    }
    together += "wait)";
    ASSERT_EQ(std::system(together.c_str()), 0);
    // Nothing but the reports is left in the working directory.
    std::vector<std::string> expected = {"BVTable", "Tarnell.ini", "sgtrans.dat", "spgra.dat"};
    for (std::size_t i = 0; i < inputs.size(); ++i)
        expected.push_back("out" + std::to_string(i) + ".txt");
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(test::fileNamesIn(dir.path()), expected);
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        TempDir own;
        test::copyBuiltWorkDir(own);
        runTarnell(own, inputs[i].first + " '" + inputs[i].second.string() + "' out.txt");
        const std::string alone = readFile(own / "out.txt");
        EXPECT_NE(alone.find("  Bond valence sum:"), std::string::npos) << inputs[i].second;
        EXPECT_TRUE(readFile(dir / ("out" + std::to_string(i) + ".txt")) == alone)
            << inputs[i].second;
    }
}

std::vector<std::string> wordsOf(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;) words.push_back(word);
    return words;
}

// Every number of the JSON output is the text report's, unrounded: each differs from the
// printed value by at most half a unit of its last printed digit.
TEST(TarnellProgram, JsonHoldsTheNumbersOfTheTextReport) {
    TempDir dir;
    test::copyBuiltWorkDir(dir);
    const std::filesystem::path monazite = Source / "examples" / "monazite_structured.txt";
    ASSERT_EQ(runTarnell(dir, "-i '" + monazite.string() + "' out.txt -j out.json").exitStatus, 0);
    const std::string report = readFile(dir / "out.txt");
    const nlohmann::json json = nlohmann::json::parse(readFile(dir / "out.json"));
    for (const char* field :
         {"format_version", "program", "input", "settings", "status", "message", "title", "cell",
          "space_group", "sites", "distances", "sums", "references", "valence_summary"})
        EXPECT_TRUE(json.contains(field)) << field;
    EXPECT_EQ(json["format_version"], 2);
    EXPECT_EQ(json["status"], "ok");
    EXPECT_EQ(json["input"]["format"], "txt");
    EXPECT_EQ(json["space_group"]["operator_count"], 4);
    EXPECT_EQ(json["sites"][0]["label"], "Ce1");
    EXPECT_EQ(json["sites"][0]["valence"], 3.0);

    std::istringstream lines(report);
    std::string line;
    std::size_t entry = 0;
    std::string sumsSite;
    std::size_t sumsIndex = 0;
    std::size_t summaryIndex = 0;
    bool inDistances = false, inSums = false, inSummary = false;
    while (std::getline(lines, line)) {
        const std::vector<std::string> w = wordsOf(line);
        if (line == "  Searched distance:") inDistances = true;
        if (line == "  Bond valence sum:") inDistances = false, inSums = true;
        if (line == "  Reference list:") inSums = false;
        if (line.starts_with("  Site        V")) {
            inSummary = true;
            continue;
        }
        if (inDistances && w.size() == 12 && w[0] != "No") {
            const nlohmann::json& d = json["distances"][entry++];
            EXPECT_EQ(d["centre"], w[1]);
            EXPECT_EQ(d["neighbour"], w[5]);
            EXPECT_EQ(d["code"], w[6]);
            EXPECT_NEAR(d["d"].get<double>(), std::stod(w[10]), 5e-6);
            EXPECT_NEAR(d["sigma_d"].get<double>(), std::stod(w[11]), 5e-6);
            EXPECT_FALSE(d["alternatives"].empty());
            EXPECT_FALSE(d["summary"].is_null());  // every bond is a cation–anion bond here
        }
        if (inSums && w.size() == 2 && w[1] == ":") sumsSite = w[0];
        if (inSums && w.size() == 1 && w[0].back() == ':')
            sumsSite = w[0].substr(0, w[0].size() - 1);
        if (inSums && line.find("BVS =") != std::string::npos) {
            double bvs = 0, sigma = 0;
            int number = 0, cn = 0;
            ASSERT_EQ(
                std::sscanf(line.c_str(), " %d BVS =%lf(%lf) CN =%d", &number, &bvs, &sigma, &cn),
                4);
            const nlohmann::json* site = nullptr;
            for (const nlohmann::json& s : json["sums"])
                if (s["site"] == sumsSite) site = &s;
            ASSERT_NE(site, nullptr) << sumsSite;
            EXPECT_EQ((*site)["cn"], cn);
            bool found = false;
            for (const nlohmann::json& a : (*site)["alternatives"]) {
                if (a["number"] != number) continue;
                found = true;
                EXPECT_NEAR(a["bvs"].get<double>(), bvs, 5e-5) << sumsSite;
                EXPECT_NEAR(a["sigma"].get<double>(), sigma, 5e-5) << sumsSite;
            }
            EXPECT_TRUE(found) << sumsSite << " " << number;
            ++sumsIndex;
        }
        if (w.empty()) inSummary = false;
        if (inSummary && w.size() >= 8) {
            const nlohmann::json& s = json["valence_summary"]["sites"][summaryIndex++];
            EXPECT_EQ(s["site"], w[0]);
            EXPECT_NEAR(s["valence"].get<double>(), std::stod(w[1]), 5e-3);
            EXPECT_NEAR(s["bvs"].get<double>(), std::stod(w[2]), 5e-5);
            EXPECT_NEAR(s["sigma"].get<double>(), std::stod(w[3]), 5e-5);
            EXPECT_EQ(s["cn"], std::stoi(w[4]));
            EXPECT_NEAR(s["delta_v"].get<double>(), std::stod(w[5]), 5e-5);
            EXPECT_NEAR(100 * s["delta_v_relative"].get<double>(), std::stod(w[6]), 5e-2);
        }
        if (line.starts_with("  GII = ")) {
            EXPECT_NEAR(json["valence_summary"]["gii"].get<double>(), std::stod(w[2]), 5e-5);
        }
    }
    EXPECT_EQ(entry, json["distances"].size());
    EXPECT_EQ(summaryIndex, json["valence_summary"]["sites"].size());
    EXPECT_GT(sumsIndex, 0u);
    EXPECT_GT(summaryIndex, 0u);

    // A file without valences gets them by bond valence, each marked as assigned; with the
    // check, every site is compared with them.
    const std::filesystem::path calcite = Source / "tests/data/realworld/CaCO3-calcite.cif";
    ASSERT_EQ(runTarnell(dir, "--check-valences -c '" + calcite.string() + "' out.txt -j out.json")
                  .exitStatus,
              0);
    const nlohmann::json plain = nlohmann::json::parse(readFile(dir / "out.json"));
    EXPECT_EQ(plain["valence_summary"]["valences"], "assigned");
    EXPECT_FALSE(plain["valence_summary"]["gii"].is_null());
    std::map<std::string, double> assigned;
    for (const auto& site : plain["valence_summary"]["sites"]) {
        EXPECT_EQ(site["valence_source"], "assigned");
        assigned[site["site"].get<std::string>().substr(0, 2)] = site["valence"].get<double>();
    }
    EXPECT_EQ(assigned, (std::map<std::string, double>{{"C", 4.0}, {"Ca", 2.0}, {"O1", -2.0}}));
    EXPECT_EQ(plain["valence_check"]["sites"].size(), 3u);
    EXPECT_TRUE(
        readFile(dir / "out.txt").find("V assigned by bond valence (the file states none)") !=
        std::string::npos);

    // A failed run says so, with the report's message.
    ASSERT_EQ(runTarnell(dir, "-b missing.inp out.txt -j out.json").exitStatus, 0);
    const nlohmann::json failed = nlohmann::json::parse(readFile(dir / "out.json"));
    EXPECT_EQ(failed["status"], "failed");
    EXPECT_EQ(failed["message"], "Error !!!  missing.inp file not found.");
    // A JSON file that cannot be written ends with status 1.
    EXPECT_EQ(runTarnell(dir, "-b missing.inp out.txt -j no-folder/out.json").exitStatus, 1);
}

// A batch gives every file the report of a single run, goes on after a file that fails, and
// sums everything up in one table.
TEST(TarnellProgram, BatchEqualsSingleRunsAndGoesOnAfterAFailure) {
    const std::filesystem::path realWorld = Source / "tests" / "data" / "realworld";
    std::vector<std::filesystem::path> files;
    for (const char* name : {"KCl.cif", "MgOH2-brucite.cif", "K2SO4-high.cif", "La2Zr2O7.cif"})
        files.push_back(realWorld / name);
    TempDir dir;
    test::copyBuiltWorkDir(dir);
    writeFile(dir / "broken.cif", "data_x\n_cell_length_a 4\n");
    files.insert(files.begin() + 2, dir / "broken.cif");
    files.push_back(dir / "notes.doc");
    std::string arguments = "--batch 'out dir'";
    for (const auto& file : files) arguments += " '" + file.string() + "'";
    std::vector<std::string> before = test::fileNamesIn(dir.path());
    const Outcome outcome = runTarnell(dir, arguments);
    // The batch leaves nothing in the working directory but its folder of outputs (and what the
    // test caught of its console).
    before.push_back("out dir");
    if (!std::count(before.begin(), before.end(), "console.txt")) before.push_back("console.txt");
    std::sort(before.begin(), before.end());
    EXPECT_EQ(test::fileNamesIn(dir.path()), before);
    EXPECT_EQ(outcome.exitStatus, 0) << outcome.console;
    EXPECT_TRUE(outcome.console.ends_with(
        "  6 files: 4 calculated, 2 failed. Summary: out dir/summary.csv\n"))
        << outcome.console;

    const std::vector<std::string> rows = [&] {
        std::istringstream csv(readFile(dir / "out dir" / "summary.csv"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(csv, line);) lines.push_back(line);
        return lines;
    }();
    ASSERT_EQ(rows.size(), files.size() + 1);
    EXPECT_EQ(rows[0], "file,title,sites,GII,valences,worst site,worst dV,status,message,output");
    for (std::size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(files[i].string());
        EXPECT_TRUE(rows[i + 1].starts_with(files[i].string() + ",")) << rows[i + 1];
        // Each row names its report, so that x_2.out can be traced to its input.
        const std::string report = files[i].stem().string() + ".out";
        EXPECT_EQ(rows[i + 1].substr(rows[i + 1].rfind(',') + 1), report) << rows[i + 1];
        const bool broken = i == 2 || i + 1 == files.size();
        EXPECT_EQ(rows[i + 1].find(",ok,") != std::string::npos, !broken) << rows[i + 1];
        if (i + 1 == files.size()) continue;
        const std::string name = files[i].stem().string();
        TempDir own;
        test::copyBuiltWorkDir(own);
        runTarnell(own, "-c '" + files[i].string() + "' out.txt -j out.json");
        EXPECT_TRUE(readFile(dir / "out dir" / (name + ".out")) == readFile(own / "out.txt"));
        nlohmann::json batchJson =
            nlohmann::json::parse(readFile(dir / "out dir" / (name + ".json")));
        nlohmann::json ownJson = nlohmann::json::parse(readFile(own / "out.json"));
        EXPECT_EQ(batchJson["distances"], ownJson["distances"]);
        EXPECT_EQ(batchJson["valence_summary"], ownJson["valence_summary"]);
    }
    // Brucite has formal valences: its row names the GII and the site farthest from its valence.
    std::vector<std::string> brucite;
    std::istringstream fields(rows[2]);
    for (std::string field; std::getline(fields, field, ',');) brucite.push_back(field);
    ASSERT_GE(brucite.size(), 8u);  // the empty message last
    EXPECT_EQ(brucite[2], "3");
    EXPECT_GT(std::stod(brucite[3]), 0.0);
    EXPECT_EQ(brucite[4], "stated");
    EXPECT_TRUE(brucite[5] == "Mg1" || brucite[5] == "O1" || brucite[5] == "H1") << rows[2];
}

}  // namespace
}  // namespace tarnell
