# Tests of the headless front end and of the loader runtime (real pty and TCP).
if(TARGET loader_headless)
  vb7350_add_gtest(loader_headless_tests
    SOURCES HeadlessHostTest.cpp
    LIBS loader_headless
    LABELS headless)
  vb7350_add_gtest(loader_runtime_tests
    SOURCES LoaderRuntimeTest.cpp
    LIBS loader_runtime Qt6::Test
    LABELS comm)
endif()
