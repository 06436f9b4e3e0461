# The loader's running parts without a window (serial port, core, TCP listener
# and connections), and the headless front end on top of them.
if(TARGET loader_core)
  add_library(loader_runtime STATIC LoaderRuntime.cpp)
  target_include_directories(loader_runtime PUBLIC ${PROJECT_SOURCE_DIR}/loader)
  target_link_libraries(loader_runtime PUBLIC loader_core loader_comm loader_net Qt6::Core Qt6::Network
                        PRIVATE project_warnings)

  add_library(loader_headless STATIC HeadlessHost.cpp HeadlessMain.cpp TarvixOptions.cpp)
  target_link_libraries(loader_headless PUBLIC loader_runtime loader_window_rules
                        PRIVATE project_warnings)
endif()
