# The project's version as a generated header any target can include:
# link `gridshow_version` and `#include "gridshow_version.h"`.
set(GRIDSHOW_COPYRIGHT "Copyright (C) 2026 the gridshow authors")
set(version_dir ${CMAKE_BINARY_DIR}/generated/version)
configure_file(${CMAKE_CURRENT_LIST_DIR}/gridshow_version.h.in ${version_dir}/gridshow_version.h
               @ONLY)
add_library(gridshow_version INTERFACE)
target_include_directories(gridshow_version INTERFACE ${version_dir})
