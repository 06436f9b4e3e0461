# The main dialog's core: receive dispatch, sessions, commands (no Qt).
add_library(loader_core STATIC DownloadDlg.cpp)
target_include_directories(loader_core PUBLIC ${PROJECT_SOURCE_DIR}/loader)
target_link_libraries(loader_core PUBLIC loader_download loader_config loader_comm_core
                      PRIVATE project_warnings)
