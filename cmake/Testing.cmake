# vb7350_add_gtest(<target> SOURCES ... [LIBS ...] [LABELS <one label>] [TIMEOUT s] [QT])
# Builds one GoogleTest executable and registers its tests with CTest. Tests are
# listed when ctest runs (not at build time), so sanitizer builds stay fast.
# QT: the tests get the offscreen platform so no display is needed. TIMEOUT: seconds
# each test may take (default 120).
function(vb7350_add_gtest target)
  cmake_parse_arguments(ARG "QT" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${target} ${ARG_SOURCES})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS} test_support GTest::gtest GTest::gmock
                        GTest::gtest_main project_warnings)
  target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  target_compile_definitions(${target} PRIVATE
                             VB7350_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  # One environment entry only: a second one would be split off as a property name.
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  set(props TIMEOUT ${ARG_TIMEOUT})
  if(ARG_QT)
    list(APPEND props ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARG_LABELS)
    list(APPEND props LABELS "${ARG_LABELS}")
  endif()
  gtest_discover_tests(${target}
    DISCOVERY_MODE PRE_TEST
    DISCOVERY_TIMEOUT 60
    PROPERTIES ${props})
endfunction()
