# kelvo_library(name DEPS ...): a static library of every .cpp in the calling
# folder, its headers reachable as <folder/header.h> from src/.
function(kelvo_library name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  add_library(${name} STATIC ${sources})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPS})
endfunction()

# kelvo_tool(name DEPS ...): a stand-in program built from tools/<name>/*.cpp,
# called from tools/<name>/CMakeLists.txt (or from tools/ itself).
function(kelvo_tool name)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp
       ${CMAKE_CURRENT_SOURCE_DIR}/${name}/*.cpp)
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
  set_property(GLOBAL APPEND PROPERTY KELVO_TOOLS ${name})
endfunction()

# kelvo_test(area DEPS ...): one GoogleTest binary of every .cpp in tests/<area>.
function(kelvo_test area)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${area}/*.cpp)
  add_executable(${area}_tests ${sources})
  set_target_properties(${area}_tests PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(${area}_tests PRIVATE kelvo_testsupport ${ARG_DEPS} GTest::gtest_main)
  # Tests drive the real stand-in tools: build them first.
  get_property(tools GLOBAL PROPERTY KELVO_TOOLS)
  if(tools)
    add_dependencies(${area}_tests ${tools})
  endif()
  include(GoogleTest)
  # Slow tests sit in suites named *LongTest and carry the label "long", so that
  # `ctest -LE long` leaves them out.
  gtest_discover_tests(${area}_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "-*LongTest.*"
                       PROPERTIES TIMEOUT 600)
  gtest_discover_tests(${area}_tests DISCOVERY_TIMEOUT 60 TEST_FILTER "*LongTest.*"
                       TEST_LIST ${area}_long_tests PROPERTIES TIMEOUT 600 LABELS long)
endfunction()
