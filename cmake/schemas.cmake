# The schemas (src/schemas/*.xsd, kept as UTF-8) as both builds, Linux and the
# Windows cross build, use them: embedded in the library and copied beside it.
include_guard(GLOBAL)

# tsln2xml_schemas(EMBEDDER <command> [DEPENDS <target>...])
# Embeds the schemas as UTF-16LE texts with a byte-order mark under their
# upper-case resource names, with <command> (the generator built from
# tools/embed_schemas.cpp) run as a build step that also depends on the
# targets after DEPENDS. The schemas that callers pass as schema files are
# copied into the build folder, beside the library, under their resource
# names (MARKER.XSD) and under the file names that other schemas use to
# include them (blockbufferrulebase.xsd). Sets TSLN2XML_SCHEMAS (the .xsd
# files) and TSLN2XML_EMBEDDED (the generated source) in the caller's scope.
function(tsln2xml_schemas)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "EMBEDDER" "DEPENDS")
  file(GLOB schemas CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/schemas/*.xsd)
  set(embedded ${CMAKE_BINARY_DIR}/generated/embedded_schemas.cpp)
  add_custom_command(
    OUTPUT ${embedded}
    COMMAND ${arg_EMBEDDER} ${embedded} ${schemas}
    DEPENDS ${arg_DEPENDS} ${schemas}
    COMMENT "Embedding schemas")
  foreach(xsd ${schemas})
    get_filename_component(xsd_name ${xsd} NAME)
    string(TOUPPER ${xsd_name} xsd_upper)
    configure_file(${xsd} ${CMAKE_BINARY_DIR}/${xsd_upper} COPYONLY)
    configure_file(${xsd} ${CMAKE_BINARY_DIR}/${xsd_name} COPYONLY)
  endforeach()
  set(TSLN2XML_SCHEMAS ${schemas} PARENT_SCOPE)
  set(TSLN2XML_EMBEDDED ${embedded} PARENT_SCOPE)
endfunction()

# tsln2xml_install_schemas(<destination> [INCLUDE_NAMES])
# Installs the schemas under their resource names and, with INCLUDE_NAMES,
# under the file names that other schemas include them by as well.
function(tsln2xml_install_schemas destination)
  cmake_parse_arguments(PARSE_ARGV 1 arg "INCLUDE_NAMES" "" "")
  foreach(xsd ${TSLN2XML_SCHEMAS})
    get_filename_component(xsd_name ${xsd} NAME)
    string(TOUPPER ${xsd_name} xsd_upper)
    install(FILES ${xsd} DESTINATION ${destination} RENAME ${xsd_upper})
    if(arg_INCLUDE_NAMES)
      install(FILES ${xsd} DESTINATION ${destination})
    endif()
  endforeach()
endfunction()
