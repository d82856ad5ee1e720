# gemmi is used as headers only (space-group tables, the CIF parser). Finds them, reads the version
# they declare in gemmi/version.hpp and makes the target gemmi::headers. With REQUIRED, a missing
# or older gemmi stops the configuration with the version found and the one needed.
find_path(Gemmi_INCLUDE_DIR gemmi/version.hpp)
unset(Gemmi_VERSION)
if(Gemmi_INCLUDE_DIR AND EXISTS "${Gemmi_INCLUDE_DIR}/gemmi/version.hpp")
    file(STRINGS "${Gemmi_INCLUDE_DIR}/gemmi/version.hpp" gemmi_version_line
         REGEX "^#define GEMMI_VERSION \"[^\"]+\"")
    string(REGEX REPLACE "^#define GEMMI_VERSION \"([^\"]+)\".*" "\\1" Gemmi_VERSION
           "${gemmi_version_line}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Gemmi
    REQUIRED_VARS Gemmi_INCLUDE_DIR Gemmi_VERSION
    VERSION_VAR Gemmi_VERSION
    REASON_FAILURE_MESSAGE "gemmi's headers with gemmi/version.hpp are needed (Debian: gemmi-dev)")

if(Gemmi_FOUND AND NOT TARGET gemmi::headers)
    add_library(gemmi::headers INTERFACE IMPORTED)
    set_target_properties(gemmi::headers PROPERTIES INTERFACE_INCLUDE_DIRECTORIES
                                                    "${Gemmi_INCLUDE_DIR}")
endif()
mark_as_advanced(Gemmi_INCLUDE_DIR)
