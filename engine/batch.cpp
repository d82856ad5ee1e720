#include "engine/batch.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <thread>

#include "engine/calculation.h"
#include "engine/output_file.h"
#include "engine/run_sequence.h"
#include "settings/text.h"
#include "structure/structure_reader.h"

namespace tarnell {
namespace {

struct BatchRow {
    std::string file;
    std::string title;
    int sites = 0;
    std::string gii;
    std::string valences;  // stated, assigned, mixed or none
    std::string worstSite;
    std::string worstDeviation;
    bool ok = false;
    std::string message;
    bool written = true;  // the report and the JSON file reached the folder
    std::string output;   // the report's name in the folder
};

// The message as one line: the engine's messages are indented and end with a line break.
std::string oneLine(const std::string& message) {
    std::string line = trimBlanks(message);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    std::replace(line.begin(), line.end(), '\n', ' ');
    return trimBlanks(line);
}

// Names of the outputs: the file's own name without its extension, made unique when two
// inputs share it (a/x.cif and b/x.cif give x and x_2).
std::vector<std::string> outputNames(const std::vector<std::filesystem::path>& files) {
    std::vector<std::string> names;
    std::set<std::string> used;
    // The next number to try for each stem: a list naming one file thousands of times would
    // otherwise try every number taken before it, for each line again.
    std::map<std::string, int> nextNumber;
    for (const std::filesystem::path& file : files) {
        const std::string stem = file.stem().string().empty() ? "structure" : file.stem().string();
        std::string name = stem;
        int& k = nextNumber.try_emplace(stem, 2).first->second;
        while (used.count(name) != 0) name = stem + "_" + std::to_string(k++);
        used.insert(name);
        names.push_back(std::move(name));
    }
    return names;
}

// Where the inputs and the data files really are: an output that leads to one of them, through a
// link or another spelling of its path, is refused as a single run refuses it.
std::set<std::filesystem::path> protectedFiles(const std::vector<std::filesystem::path>& files,
                                               const Settings& settings,
                                               const std::filesystem::path& workDir) {
    std::vector<std::filesystem::path> kept = files;
    kept.push_back(enginePaths(workDir).settings);
    kept.push_back(enginePaths(workDir).bvTable);
    for (const std::string* file : {&settings.spgraFile, &settings.sgTransFile}) {
        if (!file->empty()) kept.push_back(settingsFilePath(workDir, *file));
    }
    std::set<std::filesystem::path> places;
    for (const std::filesystem::path& path : kept) {
        std::error_code error;
        const std::filesystem::path place = std::filesystem::weakly_canonical(path, error);
        if (!error) places.insert(place);
    }
    return places;
}

bool leadsToProtectedFile(const std::filesystem::path& output,
                          const std::set<std::filesystem::path>& kept) {
    std::error_code error;
    const std::filesystem::path place = std::filesystem::weakly_canonical(output, error);
    return !error && kept.count(place) != 0;
}

BatchRow calculate(const std::filesystem::path& file, const std::filesystem::path& report,
                   const std::filesystem::path& json, const EngineInputs& inputs,
                   const std::string& programVersion, const std::set<std::filesystem::path>& kept) {
    BatchRow row;
    row.file = file.string();
    row.output = report.filename().string();
    for (const std::filesystem::path* output : {&report, &json}) {
        if (leadsToProtectedFile(*output, kept)) {
            row.message = oneLine(messageText(
                message(MessageId::OutputCannotBeWritten, output->string()), Program::Engine));
            row.written = false;
            return row;
        }
    }
    std::string extension = file.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    const std::optional<ReaderMode> mode = readerModeForExtension(extension);
    if (!mode) {
        row.message = "not a structure file (.inp, .lst, .txt or .cif)";
        return row;
    }
    const CalculationResult result = calculateFile(*mode, file, inputs);
    std::ostringstream console;  // reader notes; the report holds them too
    row.written = writeOutputs(result, {programVersion, file.string(), formatName(*mode)}, report,
                               json, console) == 0;

    row.ok = result.status.ok();
    row.message = row.ok ? std::string() : oneLine(result.status.text(Program::Engine));
    if (result.read()) {
        row.title = result.structure.title;
        row.sites = result.structure.siteCount();
    }
    if (result.summarised()) row.valences = valencesOrigin(result.summary, result.assignment);
    if (row.ok && result.summarised() && !result.summary.sites.empty()) {
        // Empty, not 0.0000, where no site has parameters: a screen must not take it as perfect.
        if (hasIndex(result.summary)) row.gii = formatText("%.4f", result.summary.gii);
        const SiteSummary* worst = nullptr;
        for (const SiteSummary& site : result.summary.sites) {
            if (!site.missing.empty()) continue;
            if (worst == nullptr || std::fabs(site.deviation) > std::fabs(worst->deviation))
                worst = &site;
        }
        if (worst != nullptr) {
            row.worstSite = result.structure.sites[static_cast<std::size_t>(worst->site)].name;
            row.worstDeviation = formatText("%.4f", worst->deviation);
        }
    }
    return row;
}

void drawProgress(std::ostream& console, std::size_t done, std::size_t total) {
    constexpr std::size_t Width = 40;
    const std::size_t filled = total == 0 ? Width : done * Width / total;
    console << "\r  [" << std::string(filled, '#') << std::string(Width - filled, '.') << "] "
            << done << "/" << total << std::flush;
}

}  // namespace

int runBatch(const std::filesystem::path& outDir, const std::vector<std::filesystem::path>& files,
             const Settings& settings, const std::filesystem::path& workDir,
             const std::string& programVersion, std::ostream& console, bool progress) {
    std::error_code error;
    std::filesystem::create_directories(outDir, error);
    if (!std::filesystem::is_directory(outDir)) {
        console << messageText(message(MessageId::FolderNotMade, outDir), Program::Engine);
        return 1;
    }
    const std::vector<std::string> names = outputNames(files);
    const std::set<std::filesystem::path> kept = protectedFiles(files, settings, workDir);
    // Read once for the whole batch; a data file that cannot be read fails every run with its
    // message, as a single run would.
    const EngineInputs inputs = readEngineInputs(settings, workDir);
    std::vector<BatchRow> rows(files.size());
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::mutex consoleMutex;
    const auto work = [&]() {
        for (std::size_t i = next++; i < files.size(); i = next++) {
            rows[i] = calculate(files[i], outDir / (names[i] + ".out"),
                                outDir / (names[i] + ".json"), inputs, programVersion, kept);
            const std::size_t finished = ++done;
            if (progress) {
                const std::lock_guard<std::mutex> lock(consoleMutex);
                drawProgress(console, finished, files.size());
            }
        }
    };
    const std::size_t threadCount = std::clamp<std::size_t>(std::thread::hardware_concurrency(), 1,
                                                            std::max<std::size_t>(files.size(), 1));
    std::vector<std::thread> threads;
    for (std::size_t t = 1; t < threadCount; ++t) threads.emplace_back(work);
    work();
    for (std::thread& thread : threads) thread.join();
    if (progress) console << "\n";

    std::string csv = "file,title,sites,GII,valences,worst site,worst dV,status,message,output\n";
    int failed = 0;
    bool written = true;
    for (const BatchRow& row : rows) {
        failed += !row.ok;
        written = written && row.written;
        csv += csvField(row.file) + ',' + csvField(row.title) + ',' + std::to_string(row.sites) +
               ',' + row.gii + ',' + row.valences + ',' + csvField(row.worstSite) + ',' +
               row.worstDeviation + ',' + (row.ok ? "ok" : "failed") + ',' + csvField(row.message) +
               ',' + csvField(row.output) + '\n';
    }
    const std::filesystem::path summary = outDir / "summary.csv";
    const bool summaryWritten = !leadsToProtectedFile(summary, kept) && replaceFile(summary, csv);
    written = summaryWritten && written;
    // A summary that could not be written is not named as if it stood there.
    console << formatText("  %zu files: %zu calculated, %d failed. Summary: %s\n", files.size(),
                          files.size() - static_cast<std::size_t>(failed), failed,
                          summaryWritten ? summary.string().c_str() : "not written");
    if (!written)
        console << messageText(message(MessageId::NotEveryOutputWritten), Program::Engine);
    return written ? 0 : 1;
}

}  // namespace tarnell
