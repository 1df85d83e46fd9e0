# Helpers shared by the subsystem folders.

set(BRISMARE_TESTDATA_DIR "${CMAKE_SOURCE_DIR}/../shared/testdata" CACHE PATH
    "Third-party test data (tests skip when it is absent)")

# brismare_test(<name> LABEL <label> SOURCES ... LIBS ... [QT])
# One GoogleTest executable; every test in it carries the subsystem label.
function(brismare_test name)
  cmake_parse_arguments(T "QT" "LABEL" "SOURCES;LIBS" ${ARGN})
  if(T_QT)
    add_executable(${name} ${T_SOURCES} ${CMAKE_SOURCE_DIR}/tests/qt_test_main.cpp)
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock Qt6::Widgets)
  else()
    add_executable(${name} ${T_SOURCES})
    target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  endif()
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  target_compile_definitions(${name} PRIVATE
    BRISMARE_TESTDATA_DIR="${BRISMARE_TESTDATA_DIR}"
    BRISMARE_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    BRISMARE_BIN_DIR="${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
  set(env "LC_ALL=C.UTF-8")
  if(T_QT)
    list(APPEND env "QT_QPA_PLATFORM=offscreen")
  endif()
  gtest_discover_tests(${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES LABELS "${T_LABEL}" ENVIRONMENT "${env}")
endfunction()
