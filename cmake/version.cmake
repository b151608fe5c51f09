# The product's one version number is the project version of the top
# CMakeLists.txt. This writes it, with the names the resource scripts show,
# into quillo_version.h and the programs' manifest, both in the build tree.
set(QUILLO_VERSION_TEXT ${PROJECT_VERSION})
# "2.03" is shown as written; the numeric fields of the version resource and
# the manifest take the components as numbers (a leading zero would read as
# octal in a resource script).
# The minor part is written with two digits, as the About box shows it: "2.1"
# would read as 2.10 to a user but become the file version 2.1, lower than
# 2.03's 2.3 to any installer that compares them.
string(LENGTH "${PROJECT_VERSION_MINOR}" minor_digits)
if(NOT minor_digits EQUAL 2)
  message(FATAL_ERROR "project version ${PROJECT_VERSION}: write the minor part with two digits (2.03, 2.10)")
endif()
foreach(part MAJOR MINOR PATCH TWEAK)
  set(value "${PROJECT_VERSION_${part}}")
  if(value STREQUAL "")
    set(value 0)
  endif()
  string(REGEX REPLACE "^0+([0-9])" "\\1" value "${value}")
  set(QUILLO_VERSION_${part} ${value})
endforeach()
set(QUILLO_VERSION_BUILD ${QUILLO_VERSION_TWEAK})
set(QUILLO_VERSION_QUAD "${QUILLO_VERSION_MAJOR}.${QUILLO_VERSION_MINOR}.${QUILLO_VERSION_PATCH}.${QUILLO_VERSION_BUILD}")
set(QUILLO_COMPANY_NAME "The Quillo developers")
set(QUILLO_COPYRIGHT "Copyright (C) 2026 The Quillo developers")

set(QUILLO_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
configure_file(${CMAKE_CURRENT_LIST_DIR}/../resources/version.h.in ${QUILLO_GENERATED_DIR}/quillo_version.h @ONLY)
set(QUILLO_MANIFEST_NAME "Quillo${QUILLO_FLAVOR_SUFFIX}")
configure_file(${CMAKE_CURRENT_LIST_DIR}/../resources/quillo.manifest.in ${QUILLO_GENERATED_DIR}/quillo.manifest @ONLY)

# A target whose resource script includes version_info.rc or manifest.rc (or
# whose code includes quillo_version.h): the generated files' folder and the
# shared scripts' folder are on its include path, and the script is compiled
# again when they change (windres's included files are not tracked).
function(quillo_use_version_resources target rc)
  target_include_directories(${target} PRIVATE ${QUILLO_GENERATED_DIR} ${QUILLO_ROOT}/resources)
  if(rc)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS
                 ${QUILLO_GENERATED_DIR}/quillo_version.h ${QUILLO_GENERATED_DIR}/quillo.manifest
                 ${QUILLO_ROOT}/resources/version_info.rc ${QUILLO_ROOT}/resources/manifest.rc)
  endif()
endfunction()

# Two builds of one commit give the same bytes: the linker leaves the PE
# header's time stamp at zero instead of the time of the link.
add_link_options(-Wl,--no-insert-timestamp)
