# Tarvix's desktop window: the port-dialog rules (no Qt), the Qt window and
# dialogs, the icon and the desktop entry.
include(GNUInstallDirs)

add_library(loader_window_rules STATIC PortSetRules.cpp ProgressState.cpp)
target_include_directories(loader_window_rules PUBLIC ${PROJECT_SOURCE_DIR}/loader)
target_link_libraries(loader_window_rules PUBLIC loader_comm_core PRIVATE project_warnings)

# The dialogs that need nothing but the rules.
add_library(loader_window_dialogs STATIC
  AboutDlg.cpp DialogLook.cpp HelpDlg.cpp PortSetDlg.cpp RomFolderDialog.cpp TarvixIcon.cpp)
target_include_directories(loader_window_dialogs PUBLIC ${PROJECT_SOURCE_DIR}/loader)
target_link_libraries(loader_window_dialogs PUBLIC loader_window_rules Qt6::Widgets
                      PRIVATE project_warnings)
qt_add_resources(loader_window_dialogs "tarvix_window"
  PREFIX "/tarvix" BASE resources FILES resources/help.html)

# The main window on the download core, and the window front end's entry point.
if(TARGET loader_core)
  set(window_sources DownloadWindow.cpp)
  if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/LoaderRuntime.h AND EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/WindowMain.cpp)
    list(APPEND window_sources WindowMain.cpp)
  endif()
  add_library(loader_window STATIC ${window_sources})
  target_link_libraries(loader_window PUBLIC loader_window_dialogs loader_core
                        PRIVATE project_warnings)
  if(TARGET loader_runtime)
    target_link_libraries(loader_window PUBLIC loader_runtime)
  endif()
endif()

# The icon as PNG files for the desktop, drawn by the same code as the window's.
add_executable(tarvix_icon EXCLUDE_FROM_ALL TarvixIconTool.cpp)
target_link_libraries(tarvix_icon PRIVATE loader_window_dialogs project_warnings)
set(tarvix_icon_pngs)
foreach(size 48 256)
  set(png ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}/tarvix.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/icons/${size}
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            $<TARGET_FILE:tarvix_icon> ${size} ${png}
    DEPENDS tarvix_icon
    COMMENT "Drawing the Tarvix icon at ${size} px")
  list(APPEND tarvix_icon_pngs ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(tarvix_icons ALL DEPENDS ${tarvix_icon_pngs})
install(FILES resources/tarvix.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

# Offscreen screenshots for the documentation (scripts/screenshots-tarvix).
if(TARGET loader_window)
  add_executable(tarvix_window_shots EXCLUDE_FROM_ALL WindowShots.cpp)
  target_link_libraries(tarvix_window_shots PRIVATE loader_window project_warnings)
endif()
