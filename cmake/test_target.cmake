# The test program as both builds, Linux and the Windows cross build, make it:
# every test source with the export layer, the test support's include folder,
# and where the command, the library and the two trees are.
include_guard(GLOBAL)

# tsln2xml_test_executable(<sources>...): the target tsln2xml_tests; the
# caller links its test framework.
function(tsln2xml_test_executable)
  add_executable(tsln2xml_tests ${ARGN} ${CMAKE_SOURCE_DIR}/src/api/exports.cpp)
  target_compile_options(tsln2xml_tests PRIVATE ${TSLN2XML_WARNINGS})
  target_include_directories(tsln2xml_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(tsln2xml_tests PRIVATE
    TSLN2XML_CLI_PATH="$<TARGET_FILE:tsln2xml_cli>"
    TSLN2XML_LIBRARY_PATH="$<TARGET_FILE:tsln2xml>"
    TSLN2XML_BINARY_DIR="${CMAKE_BINARY_DIR}"
    TSLN2XML_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  add_dependencies(tsln2xml_tests tsln2xml tsln2xml_cli)
endfunction()
