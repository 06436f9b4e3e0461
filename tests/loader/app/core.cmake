# Tests of the main dialog's core driven through fakes.
vb7350_add_gtest(loader_core_tests
  SOURCES RomSessionTest.cpp BllSessionTest.cpp DownloadDlgTest.cpp DispatchTest.cpp ModemAndMendsTest.cpp
          CoreRandomInputTest.cpp
  LIBS loader_core
  LABELS core)
