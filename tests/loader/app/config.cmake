# Tests of Romvale.cfg and the private-profile module.
vb7350_add_gtest(loader_config_tests
  SOURCES PrivateProfileTest.cpp LoaderConfigTest.cpp ConfigRandomInputTest.cpp
  LIBS loader_config)
