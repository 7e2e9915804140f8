# velmora_add_qtest(<name> SOURCES <files...> LIBS <targets...>)
# A Qt Test binary registered with CTest; widgets render offscreen so no test opens a window.
function(velmora_add_qtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  target_compile_definitions(${name} PRIVATE
    VELMORA_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    VELMORA_PROGRAM_DIR="${VELMORA_PROGRAM_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" TIMEOUT 300)
endfunction()
