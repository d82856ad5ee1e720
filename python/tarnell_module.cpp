// The compiled half of the Python module tarnell: the structure record, the readers, the table
// of a working directory read once, and a calculation rendered as the engine's JSON. The
// package's Python half (tarnell/__init__.py) turns that JSON into a dict with numpy columns.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>
#include <pybind11/stl/filesystem.h>

#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>

#include "engine/calculation.h"
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

std::string calculateJson(CrystalStructure structure, const Table& table,
                          std::optional<double> dMax, std::optional<double> dMin,
                          std::optional<int> hMax, std::optional<int> hMin, const Source& source) {
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
    std::string json;
    {
        py::gil_scoped_release unlocked;
        const CalculationResult result = calculate(
            std::move(structure), {settings, table.inputs.tables, table.inputs.spaceGroups});
        json = resultJson(result, {TARNELL_VERSION, source.path, source.format});
    }
    return json;
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
}
