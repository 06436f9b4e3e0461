# Romvale.cfg and the private-profile module it is read and written with (no Qt).
add_library(loader_config STATIC PrivateProfile.cpp LoaderConfig.cpp)
target_include_directories(loader_config PUBLIC ${PROJECT_SOURCE_DIR}/loader)
target_link_libraries(loader_config PUBLIC loader_comm_core PRIVATE project_warnings)
set_target_properties(loader_config PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
