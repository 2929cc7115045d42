# The Windows build (x86_64, MinGW-w64 cross compilers, see cmake/mingw-w64.cmake
# and scripts/windows-build.sh): tsln2xml.dll with its import library and the
# .def of its exports (the thirteen of tsln2xml.h and ExportDXF), tsln2xml.exe, the schemas and the header; the
# GoogleTest suite and the C example host, run under Wine by
# scripts/windows-test.sh. Everything links statically (libxml2 and SQLite
# built by scripts/windows-deps.sh, the C++ runtime, winpthreads), so the DLL
# and the programs need nothing but Windows's own DLLs.

if(NOT TSLN2XML_WIN_DEPS)
  message(FATAL_ERROR "TSLN2XML_WIN_DEPS must name the prefix that scripts/windows-deps.sh fills")
endif()

# libxml2 and SQLite, static; libxml2's headers must know, or they declare
# its functions as imported from a DLL.
find_path(TSLN2XML_LIBXML2_INCLUDE libxml/parser.h PATHS ${TSLN2XML_WIN_DEPS}/include/libxml2 NO_DEFAULT_PATH)
find_library(TSLN2XML_LIBXML2_LIB libxml2.a PATHS ${TSLN2XML_WIN_DEPS}/lib NO_DEFAULT_PATH)
find_path(TSLN2XML_SQLITE3_INCLUDE sqlite3.h PATHS ${TSLN2XML_WIN_DEPS}/include NO_DEFAULT_PATH)
find_library(TSLN2XML_SQLITE3_LIB libsqlite3.a PATHS ${TSLN2XML_WIN_DEPS}/lib NO_DEFAULT_PATH)
if(NOT TSLN2XML_LIBXML2_INCLUDE OR NOT TSLN2XML_LIBXML2_LIB OR NOT TSLN2XML_SQLITE3_INCLUDE OR NOT TSLN2XML_SQLITE3_LIB)
  message(FATAL_ERROR "libxml2 or SQLite for Windows not found under ${TSLN2XML_WIN_DEPS}: run scripts/windows-deps.sh")
endif()
add_library(LibXml2::LibXml2 STATIC IMPORTED)
set_target_properties(LibXml2::LibXml2 PROPERTIES IMPORTED_LOCATION ${TSLN2XML_LIBXML2_LIB}
  INTERFACE_INCLUDE_DIRECTORIES ${TSLN2XML_LIBXML2_INCLUDE}
  INTERFACE_COMPILE_DEFINITIONS LIBXML_STATIC INTERFACE_LINK_LIBRARIES "ws2_32;bcrypt")
add_library(SQLite::SQLite3 STATIC IMPORTED)
set_target_properties(SQLite::SQLite3 PROPERTIES IMPORTED_LOCATION ${TSLN2XML_SQLITE3_LIB}
  INTERFACE_INCLUDE_DIRECTORIES ${TSLN2XML_SQLITE3_INCLUDE})
# CLI11 is headers only: a copy of Debian's, so that no host include directory
# (/usr/include) comes into a Windows compile.
file(COPY /usr/include/CLI DESTINATION ${CMAKE_BINARY_DIR}/cli11/include)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
set_target_properties(CLI11::CLI11 PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${CMAKE_BINARY_DIR}/cli11/include)

# The C++ runtime, libgcc and winpthreads go into each binary.
set(TSLN2XML_WIN_STATIC -static -static-libgcc -static-libstdc++)

# Schemas: embedded by a generator built for this machine (the cross
# compilers' programs would need Wine); the files themselves go beside the DLL.
include(${CMAKE_CURRENT_LIST_DIR}/schemas.cmake)
tsln2xml_schemas(EMBEDDER ${TSLN2XML_HOST_EMBED})

file(GLOB_RECURSE TSLN2XML_CORE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.cpp)
list(FILTER TSLN2XML_CORE_SOURCES EXCLUDE REGEX "/src/api/exports\\.cpp$")
# The DXF header names the program's version, as on Linux.
set_source_files_properties(${CMAKE_SOURCE_DIR}/src/dxf/piece_dxf.cpp PROPERTIES
  COMPILE_DEFINITIONS TSLN2XML_VERSION="${PROJECT_VERSION}")
add_library(tsln2xml_core STATIC ${TSLN2XML_CORE_SOURCES} ${TSLN2XML_EMBEDDED})
target_include_directories(tsln2xml_core PUBLIC ${CMAKE_SOURCE_DIR}/include ${CMAKE_SOURCE_DIR}/src)
target_compile_options(tsln2xml_core PRIVATE ${TSLN2XML_WARNINGS})
# Every compile sees the few POSIX names that the Linux code uses, mapped to
# their Windows counterparts
# (src/platform/windows_posix.h), and the POSIX headers they come from are
# stand-ins that include it.
target_compile_options(tsln2xml_core PUBLIC -include ${CMAKE_SOURCE_DIR}/src/platform/windows_posix.h)
target_include_directories(tsln2xml_core PUBLIC ${CMAKE_SOURCE_DIR}/src/platform/windows_include)
target_compile_definitions(tsln2xml_core PUBLIC TSLN2XML_BUILDING)
target_link_libraries(tsln2xml_core PUBLIC LibXml2::LibXml2 SQLite::SQLite3 oleaut32)

# The DLL exports exactly the calls of the .def file, undecorated; the import
# library is tsln2xml.lib.
add_library(tsln2xml SHARED src/api/exports.cpp ${CMAKE_SOURCE_DIR}/cmake/tsln2xml.def)
target_compile_options(tsln2xml PRIVATE ${TSLN2XML_WARNINGS})
target_link_libraries(tsln2xml PRIVATE tsln2xml_core)
target_link_options(tsln2xml PRIVATE ${TSLN2XML_WIN_STATIC})
set_target_properties(tsln2xml PROPERTIES PREFIX "" IMPORT_PREFIX "" IMPORT_SUFFIX ".lib")

file(GLOB TSLN2XML_TOOL_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/cli/*.cpp)
add_executable(tsln2xml_cli ${TSLN2XML_TOOL_SOURCES} src/api/exports.cpp)
set_target_properties(tsln2xml_cli PROPERTIES OUTPUT_NAME tsln2xml)
target_compile_options(tsln2xml_cli PRIVATE ${TSLN2XML_WARNINGS})
target_include_directories(tsln2xml_cli PRIVATE ${CMAKE_SOURCE_DIR}/tools)
# wmain: Windows hands the command its arguments as UTF-16.
target_link_options(tsln2xml_cli PRIVATE -municode ${TSLN2XML_WIN_STATIC})
target_link_libraries(tsln2xml_cli PRIVATE tsln2xml_core CLI11::CLI11)
target_compile_definitions(tsln2xml_cli PRIVATE TSLN2XML_VERSION="${PROJECT_VERSION}")

# The C example host: loads the DLL with LoadLibrary, calls its exports and
# frees the BSTR with the system's SysFreeString.
add_executable(export_item examples/c/export_item.c)
target_include_directories(export_item PRIVATE ${CMAKE_SOURCE_DIR}/include)
target_compile_options(export_item PRIVATE ${TSLN2XML_WARNINGS})
target_link_options(export_item PRIVATE ${TSLN2XML_WIN_STATIC})
target_link_libraries(export_item PRIVATE oleaut32)

install(TARGETS tsln2xml RUNTIME DESTINATION . ARCHIVE DESTINATION lib)
install(TARGETS tsln2xml_cli RUNTIME DESTINATION .)
install(FILES ${CMAKE_SOURCE_DIR}/cmake/tsln2xml.def DESTINATION lib)
install(FILES include/tsln2xml/tsln2xml.h include/tsln2xml/dxf.h DESTINATION include/tsln2xml)
install(FILES examples/c/export_item.c DESTINATION examples/c)
# Under their resource names only: Windows finds the lower-case names that
# schemas include each other by in the same files, its names having no case.
tsln2xml_install_schemas(schemas)

if(TSLN2XML_TESTS)
  # GoogleTest from the sources Debian's libgtest-dev ships.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  file(GLOB TSLN2XML_TEST_SOURCES CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/tests/*.cpp ${CMAKE_SOURCE_DIR}/tests/support/*.cpp)
  # Left out on Windows, each for a reason of its own:
  #  store_faults_test (and its fault-injecting SQLite VFS): kills child
  #    processes made with fork();
  #  exports_test: loads the shared library with dlopen (the C example host
  #    loads the DLL with LoadLibrary, and tests/windows/commands.sh checks
  #    the DLL's exports);
  #  picture_test: renders through rsvg-convert and decodes PNGs with zlib.
  list(FILTER TSLN2XML_TEST_SOURCES EXCLUDE REGEX
    "/tests/(store_faults_test|exports_test|picture_test|support/fault_vfs)\\.cpp$")
  include(${CMAKE_CURRENT_LIST_DIR}/test_target.cmake)
  tsln2xml_test_executable(${TSLN2XML_TEST_SOURCES})
  target_link_options(tsln2xml_tests PRIVATE ${TSLN2XML_WIN_STATIC})
  target_link_libraries(tsln2xml_tests PRIVATE tsln2xml_core gtest gmock gtest_main)
endif()
