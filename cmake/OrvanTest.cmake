# orvan_add_test(NAME SOURCES... LIBS ... [GUI])
# One QtTest executable, registered with CTest, with its data and settings
# folders pointed into the build tree so no test touches the user's files.
function(orvan_add_test name)
  cmake_parse_arguments(T "GUI" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${T_LIBS})
  target_compile_definitions(${name} PRIVATE
    ORVAN_CORPUS_DIR="${PROJECT_SOURCE_DIR}/../shared/corpus"
    ORVAN_TEST_DATA_DIR="${CMAKE_CURRENT_SOURCE_DIR}/data")
  add_test(NAME ${name} COMMAND ${name})
  set(env "XDG_RUNTIME_DIR=${CMAKE_BINARY_DIR}/xdg-runtime")
  if(T_GUI)
    list(APPEND env "QT_QPA_PLATFORM=offscreen"
      "QTWEBENGINE_CHROMIUM_FLAGS=--no-sandbox --disable-gpu"
      "QTWEBENGINE_DISABLE_SANDBOX=1")
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "${env}" TIMEOUT 300)
endfunction()
