# A folder a Windows user can copy and run: the program of both character
# sets and the demo edition beside them.
#
#   cmake --install build/win-wide --prefix DIR     (after building win-ansi too)
#   cpack --config build/win-wide/CPackConfig.cmake (a ZIP of the same)
#
# Vellumark.exe is the wide-character program, Vellumark-ansi.exe the 8-bit
# one, taken from the win-ansi build tree when it has been built. The demo
# narration (about 270 MB) is left out unless VELLUMARK_INSTALL_TRACKS is on.
if(NOT VELLUMARK_WINDOWS OR NOT VELLUMARK_CHARSET STREQUAL "wide")
    return()
endif()

option(VELLUMARK_INSTALL_TRACKS "Put the demo narration tracks into the installed folder" OFF)
set(VELLUMARK_ANSI_BUILD_DIR "${CMAKE_SOURCE_DIR}/build/win-ansi" CACHE PATH
    "Build tree of the 8-bit program that the installed folder takes it from")

set(demo_dir "${CMAKE_BINARY_DIR}/install-edition")
set(demo_args demo --out "${demo_dir}")
if(NOT VELLUMARK_INSTALL_TRACKS)
    list(APPEND demo_args --no-tracks)
endif()
file(GLOB generator_sources ${CMAKE_SOURCE_DIR}/tools/edition/*.py)
find_package(Python3 REQUIRED COMPONENTS Interpreter)
add_custom_command(
    OUTPUT "${demo_dir}/book.txt"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${demo_dir}"
    COMMAND Python3::Interpreter "${CMAKE_SOURCE_DIR}/tools/edition/generate.py" ${demo_args}
    DEPENDS ${generator_sources}
    COMMENT "Demo edition for the installed folder"
    VERBATIM)
add_custom_target(install_edition ALL DEPENDS "${demo_dir}/book.txt")

install(TARGETS Vellumark RUNTIME DESTINATION .)
install(PROGRAMS "${VELLUMARK_ANSI_BUILD_DIR}/app/Vellumark.exe" DESTINATION . RENAME Vellumark-ansi.exe OPTIONAL)
install(DIRECTORY "${demo_dir}/" DESTINATION .
    PATTERN ".*" EXCLUDE)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Vellumark)
set(CPACK_PACKAGE_VENDOR Vellumark)
set(CPACK_PACKAGE_VERSION 1.0.0)
set(CPACK_PACKAGE_FILE_NAME "Vellumark-demo")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)

add_test(NAME install_layout
    COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DANSI_EXE=${VELLUMARK_ANSI_BUILD_DIR}/app/Vellumark.exe
            -P ${CMAKE_SOURCE_DIR}/cmake/CheckInstall.cmake)
