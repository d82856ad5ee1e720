// The compiled half of the Python module tarnell: the structure record, the readers, the table
// of a working directory read once, and a calculation as the engine's JSON document, in text or
// as Python objects. The package's Python half (tarnell/__init__.py) makes its lists of records
// columns.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <stdexcept>
#include <string>

#include "crystal/cell_metric.h"
#include "engine/calculation.h"
#include "landscape/landscape_frame.h"
#include "landscape/landscape_grid.h"
#include "landscape/landscape_report.h"
#include "landscape/percolation.h"
#include "settings/settings_file.h"
#include "settings/text.h"
#include "structure/site_label.h"
#include "structure/structure_reader.h"
#include "valence/json_report.h"

namespace py = pybind11;

namespace tarnell {
namespace {

// A failure of the engine, raised with the engine's own wording.
struct TarnellError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void raise(const Status& status) {
    throw TarnellError(trimBlanks(status.text(Program::Engine)));
}

// Everything a calculation shares, read once from a working directory: Tarnell.ini, BVTable and
// the two space-group files it names.
struct Table {
    EngineInputs inputs;
    std::filesystem::path directory;
};

Table loadTable(const std::filesystem::path& directory) {
    Settings settings;
    if (Status read = readSettings(directory / "Tarnell.ini", settings); !read.ok()) raise(read);
    Table table{readEngineInputs(settings, directory), directory};
    if (!table.inputs.tables.loaded.ok()) raise(table.inputs.tables.loaded);
    if (!table.inputs.spaceGroups.loaded.ok()) raise(table.inputs.spaceGroups.loaded);
    return table;
}

// Where a structure came from, for the JSON's "input"; empty for one built in Python.
struct Source {
    std::string path;
    std::string format;
};

CrystalStructure readFile(const std::filesystem::path& path, const Table& table) {
    std::string extension = path.extension().string();
    if (!extension.empty()) extension.erase(0, 1);
    const std::optional<ReaderMode> mode = readerModeForExtension(extension);
    if (!mode) raise(Status::failed(MessageId::UnknownFormat));
    CrystalStructure structure;
    const ReaderContext context{table.inputs.settings.dMax, table.inputs.sgTransFile};
    if (Status read = readStructure(*mode, path, structure, context); !read.ok()) raise(read);
    return structure;
}

Settings calculationSettings(CrystalStructure& structure, const Table& table,
                             std::optional<double> dMax, std::optional<double> dMin,
                             std::optional<int> hMax, std::optional<int> hMin) {
    Settings settings = table.inputs.settings;
    if (dMax) settings.dMax = *dMax;
    if (dMin) settings.dMin = *dMin;
    if (hMax) settings.hMax = *hMax;
    if (hMin) settings.hMin = *hMin;
    if (Status valid = checkSettings(settings); !valid.ok()) raise(valid);
    // A site without a limit of its own (one built in Python) takes D-max; a given D-max is
    // every site's.
    for (Site& site : structure.sites) {
        if (dMax || site.dLimit <= 0.0) site.dLimit = settings.dMax;
        if (site.element.empty()) site.element = elementOfLabel(site.name);
    }
    return settings;
}

std::string calculateJson(CrystalStructure structure, const Table& table,
                          std::optional<double> dMax, std::optional<double> dMin,
                          std::optional<int> hMax, std::optional<int> hMin, const Source& source) {
    const Settings settings = calculationSettings(structure, table, dMax, dMin, hMax, hMin);
    std::string json;
    {
        py::gil_scoped_release unlocked;
        const CalculationResult result = calculate(
            std::move(structure), {settings, table.inputs.tables, table.inputs.spaceGroups});
        json = resultJson(result, {TARNELL_VERSION, source.path, source.format});
    }
    return json;
}

// The result's document built as Python objects, value for value what json.loads makes of the
// engine's JSON text: rendering the text and parsing it back took most of a calculate().
class PythonWriter final : public DocumentWriter {
public:
    using DocumentWriter::value;
    PythonWriter& key(std::string_view name) override {
        key_ = pythonString(name);
        return *this;
    }
    void beginObject() override { open(py::dict()); }
    void endObject() override { open_.pop_back(); }
    void beginArray() override { open(py::list()); }
    void endArray() override { open_.pop_back(); }
    void value(std::nullptr_t) override { put(py::none()); }
    void value(bool flag) override { put(py::bool_(flag)); }
    void value(std::string_view text) override { put(pythonString(text)); }
    void value(const nlohmann::ordered_json& json) override { put(fromJson(json)); }
    py::object take() { return std::move(root_); }

private:
    void integer(long long number) override { put(py::int_(number)); }
    void unsignedInteger(unsigned long long number) override { put(py::int_(number)); }
    void real(double number) override {
        put(std::isfinite(number) ? py::object(py::float_(number)) : py::object(py::none()));
    }

    // Text that is not UTF-8 as the JSON text has it, each bad sequence replaced.
    static py::str pythonString(std::string_view text) {
        for (const char c : text) {
            if (static_cast<unsigned char>(c) >= 0x80) {
                const std::string json =
                    nlohmann::ordered_json(std::string(text))
                        .dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
                return py::str(nlohmann::ordered_json::parse(json).get<std::string>());
            }
        }
        return py::str(text.data(), text.size());
    }

    static py::object fromJson(const nlohmann::ordered_json& json) {
        using Type = nlohmann::ordered_json::value_t;
        switch (json.type()) {
            case Type::object: {
                py::dict object;
                for (const auto& [name, item] : json.items())
                    object[pythonString(name)] = fromJson(item);
                return object;
            }
            case Type::array: {
                py::list array;
                for (const auto& item : json) array.append(fromJson(item));
                return array;
            }
            case Type::string:
                return pythonString(json.get_ref<const std::string&>());
            case Type::boolean:
                return py::bool_(json.get<bool>());
            case Type::number_integer:
                return py::int_(json.get<std::int64_t>());
            case Type::number_unsigned:
                return py::int_(json.get<std::uint64_t>());
            case Type::number_float: {
                const double number = json.get<double>();
                return std::isfinite(number) ? py::object(py::float_(number))
                                             : py::object(py::none());
            }
            default:
                return py::none();
        }
    }

    void open(py::object container) {
        put(container);
        open_.push_back(std::move(container));
    }

    void put(py::object item) {
        if (open_.empty()) {
            root_ = std::move(item);
        } else if (PyDict_Check(open_.back().ptr())) {
            PyDict_SetItem(open_.back().ptr(), key_.ptr(), item.ptr());
        } else {
            PyList_Append(open_.back().ptr(), item.ptr());
        }
    }

    std::vector<py::object> open_;
    py::object key_;
    py::object root_;
};

py::object calculateDocument(CrystalStructure structure, const Table& table,
                             std::optional<double> dMax, std::optional<double> dMin,
                             std::optional<int> hMax, std::optional<int> hMin,
                             const Source& source) {
    const Settings settings = calculationSettings(structure, table, dMax, dMin, hMax, hMin);
    CalculationResult result;
    {
        py::gil_scoped_release unlocked;
        result = calculate(std::move(structure),
                           {settings, table.inputs.tables, table.inputs.spaceGroups});
    }
    PythonWriter out;
    writeResult(out, result, {TARNELL_VERSION, source.path, source.format});
    return out.take();
}

template <typename T, typename Value>
py::array_t<T> column(const std::vector<SiteSummary>& sites, Value value) {
    py::array_t<T> array(static_cast<py::ssize_t>(sites.size()));
    auto out = array.template mutable_unchecked<1>();
    for (std::size_t i = 0; i < sites.size(); ++i)
        out(static_cast<py::ssize_t>(i)) = value(sites[i]);
    return array;
}

// The valence summary alone, as columns, without rendering the rest of the result: what a
// screening of many structures reads.
py::dict summaryColumns(CrystalStructure structure, const Table& table, std::optional<double> dMax,
                        std::optional<double> dMin, std::optional<int> hMax,
                        std::optional<int> hMin) {
    const Settings settings = calculationSettings(structure, table, dMax, dMin, hMax, hMin);
    CalculationResult result;
    {
        py::gil_scoped_release unlocked;
        result = calculate(std::move(structure),
                           {settings, table.inputs.tables, table.inputs.spaceGroups});
    }
    py::dict columns;
    columns["status"] = result.status.ok() ? "ok" : "failed";
    columns["message"] = result.status.ok()
                             ? py::object(py::none())
                             : py::object(py::str(trimBlanks(result.status.text(Program::Engine))));
    const std::vector<SiteSummary>& sites = result.summary.sites;
    py::list labels;
    for (const SiteSummary& s : sites)
        labels.append(result.structure.sites[static_cast<std::size_t>(s.site)].name);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    columns["site"] = labels;
    columns["valence"] = column<double>(sites, [](const SiteSummary& s) { return s.valence; });
    columns["multiplicity"] =
        column<std::int64_t>(sites, [](const SiteSummary& s) { return s.multiplicity; });
    columns["bvs"] = column<double>(
        sites, [nan](const SiteSummary& s) { return s.missing.empty() ? s.bvs : nan; });
    columns["sigma"] = column<double>(
        sites, [nan](const SiteSummary& s) { return s.missing.empty() ? s.sigma : nan; });
    columns["cn"] =
        column<std::int64_t>(sites, [](const SiteSummary& s) { return s.coordination; });
    columns["delta_v"] = column<double>(
        sites, [nan](const SiteSummary& s) { return s.missing.empty() ? s.deviation : nan; });
    const bool gii = result.summarised() && !sites.empty();
    columns["gii"] = gii ? py::object(py::float_(result.summary.gii)) : py::object(py::none());
    return columns;
}

// The landscape of the mobile ion `ionText` ("Li+") as the JSON object `landscape` of the
// engine's --landscape, the grid's values left out.
std::string landscapeJsonText(CrystalStructure structure, const Table& table,
                              const std::string& ionText, double step, double cutoff,
                              const std::vector<std::string>& mobile, const std::string& reference,
                              int threads) {
    const std::optional<TestIon> ion = parseTestIon(ionText);
    if (!ion) throw py::value_error("not an ion such as Li+, Mg2+ or O2-: " + ionText);
    const Settings settings = calculationSettings(structure, table, {}, {}, {}, {});
    if (Status cell = checkCell(structure.cell, structure.cellSigma); !cell.ok()) raise(cell);
    OperatorTable operators;
    std::vector<std::string> operatorTexts;
    if (Status expanded =
            expandSymmetry(structure, table.inputs.spaceGroups, operators, operatorTexts);
        !expanded.ok())
        raise(expanded);
    LandscapeResult result;
    result.options.step = step;
    result.options.cutoff = cutoff;
    result.options.threads = threads;
    Status status;
    {
        py::gil_scoped_release unlocked;
        status = buildLandscapeFrame(structure, operators, table.inputs.tables.whole, *ion, mobile,
                                     settings.bvB, result.frame, reference);
        if (status.ok()) status = computeLandscape(result.frame, result.options, result.landscape);
        if (status.ok())
            result.percolation = findPercolation(result.landscape.points, result.landscape.values);
    }
    if (!status.ok()) raise(status);
    return landscapeJson(result).dump();
}

}  // namespace
}  // namespace tarnell

PYBIND11_MODULE(_tarnell, m) {
    using namespace tarnell;
    m.doc() = "Bond valence sums of crystal structures: the compiled part of tarnell";
    m.attr("version") = TARNELL_VERSION;

    py::register_exception<TarnellError>(m, "Error", PyExc_RuntimeError);

    py::class_<Site>(m, "Site")
        .def(py::init<>())
        .def_readwrite("label", &Site::name)
        .def_readwrite("element", &Site::element)
        .def_readwrite("occupancy", &Site::g)
        .def_readwrite("x", &Site::x)
        .def_readwrite("y", &Site::y)
        .def_readwrite("z", &Site::z)
        .def_readwrite("sx", &Site::sx)
        .def_readwrite("sy", &Site::sy)
        .def_readwrite("sz", &Site::sz)
        .def_readwrite("charge", &Site::charge)
        .def_readwrite("valence", &Site::valence)
        .def_readwrite("d_limit", &Site::dLimit)
        .def("__repr__", [](const Site& s) {
            return formatText("Site(%s, g=%g, xyz=(%g, %g, %g), charge=%g)", s.name.c_str(), s.g,
                              s.x, s.y, s.z, s.charge);
        });

    py::class_<CrystalStructure>(m, "Structure", py::dynamic_attr())
        .def(py::init<>())
        .def_readwrite("title", &CrystalStructure::title)
        .def_readwrite("space_group", &CrystalStructure::sgName)
        .def_readwrite("space_group_number", &CrystalStructure::sgNumber)
        .def_readwrite("space_group_setting", &CrystalStructure::sgSetting)
        .def_readwrite("cell", &CrystalStructure::cell)
        .def_readwrite("cell_sigma", &CrystalStructure::cellSigma)
        .def_readwrite("sites", &CrystalStructure::sites)
        .def_readwrite("symmetry_operators", &CrystalStructure::symmetryOperators)
        .def("__len__", &CrystalStructure::siteCount)
        .def("__repr__", [](const CrystalStructure& s) {
            return formatText("Structure(%s, %s, %d sites)", s.title.c_str(), s.sgName.c_str(),
                              s.siteCount());
        });

    py::class_<Table>(m, "Table")
        .def(py::init(&loadTable), py::arg("directory"))
        .def_readonly("directory", &Table::directory)
        .def_property_readonly("bv_b", [](const Table& t) { return t.inputs.settings.bvB; })
        .def_property_readonly("d_max", [](const Table& t) { return t.inputs.settings.dMax; })
        .def_property_readonly("lines",
                               [](const Table& t) { return t.inputs.tables.whole.lines.size(); });

    m.def("read", &readFile, py::arg("path"), py::arg("table"),
          "Reads a structure file (.inp, .lst, .txt, .cif, by its extension).");
    m.def(
        "calculate_json",
        [](const CrystalStructure& structure, const Table& table, std::optional<double> dMax,
           std::optional<double> dMin, std::optional<int> hMax, std::optional<int> hMin,
           const std::string& path, const std::string& format) {
            return calculateJson(structure, table, dMax, dMin, hMax, hMin, {path, format});
        },
        py::arg("structure"), py::arg("table"), py::arg("dmax") = py::none(),
        py::arg("dmin") = py::none(), py::arg("hmax") = py::none(), py::arg("hmin") = py::none(),
        py::arg("path") = "", py::arg("format") = "",
        "The calculation of a structure as the engine's JSON document.");
    m.def(
        "calculate_document",
        [](const CrystalStructure& structure, const Table& table, std::optional<double> dMax,
           std::optional<double> dMin, std::optional<int> hMax, std::optional<int> hMin,
           const std::string& path, const std::string& format) {
            return calculateDocument(structure, table, dMax, dMin, hMax, hMin, {path, format});
        },
        py::arg("structure"), py::arg("table"), py::arg("dmax") = py::none(),
        py::arg("dmin") = py::none(), py::arg("hmax") = py::none(), py::arg("hmin") = py::none(),
        py::arg("path") = "", py::arg("format") = "",
        "The calculation of a structure as the dicts and lists that json.loads makes of the "
        "engine's JSON document.");
    m.def(
        "sums",
        [](const CrystalStructure& structure, const Table& table, std::optional<double> dMax,
           std::optional<double> dMin, std::optional<int> hMax, std::optional<int> hMin) {
            return summaryColumns(structure, table, dMax, dMin, hMax, hMin);
        },
        py::arg("structure"), py::arg("table"), py::arg("dmax") = py::none(),
        py::arg("dmin") = py::none(), py::arg("hmax") = py::none(), py::arg("hmin") = py::none(),
        "The valence summary of a structure as numpy columns.");
    m.def("landscape_json", &landscapeJsonText, py::arg("structure"), py::arg("table"),
          py::arg("ion"), py::arg("step") = 0.1, py::arg("cutoff") = 6.0,
          py::arg("mobile") = std::vector<std::string>{}, py::arg("reference") = "",
          py::arg("threads") = 0,
          "The bond valence landscape of a mobile ion and its percolation thresholds, as the "
          "engine's JSON object `landscape`.");
}
