# Tests of the desktop window: the port-dialog rules without Qt, and the Qt
# dialogs and main window on the offscreen platform.
vb7350_add_gtest(loader_window_rules_tests
  SOURCES PortSetRulesTest.cpp
  LIBS loader_window_rules)

vb7350_add_gtest(loader_window_dialog_tests
  SOURCES PortSetDlgTest.cpp
  LIBS loader_window_dialogs Qt6::Test
  LABELS gui
  QT)

if(TARGET loader_window)
  vb7350_add_gtest(loader_window_tests
    SOURCES DownloadWindowTest.cpp $<$<TARGET_EXISTS:loader_runtime>:WindowRuntimeTest.cpp>
    LIBS loader_window Qt6::Test
    LABELS gui
    QT)
endif()
