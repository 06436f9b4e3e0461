// Texts and control ids of the loader's main window, menus and About box.
// UTF-8, byte for byte as the program shows them.
#pragma once

#include <string_view>

namespace wnd {

// Caption: the program's name and version, then who made it.
inline constexpr std::string_view kCaption = "Romvale Ver 1.02 - Vornix Terminal Software Team";
inline constexpr std::string_view kAppName = "Tarvix";

// Controls of the main dialog.
inline constexpr int kIdRomLocationButton = 1008;
inline constexpr int kIdRomLocationEdit = 1001;
inline constexpr int kIdPortSettingsButton = 1005;
inline constexpr int kIdPortStatusEdit = 1000;
inline constexpr int kIdProgress = 1013;
inline constexpr int kIdStatusEdit = 1006;
inline constexpr int kIdDownloadButton = 3;
inline constexpr int kIdExitButton = 1007;

inline constexpr std::string_view kRomLocationButton = "롬 파일 위치 설정";
inline constexpr std::string_view kPortSettingsButton = "통신 포트 설정";
inline constexpr std::string_view kDownloadButton = "롬 파일 다운로드";
inline constexpr std::string_view kExitButton = "종료";
inline constexpr std::string_view kSettingsGroup = "프로그램 설정";
inline constexpr std::string_view kProgressGroup = "다운로드 진행 상태";

// Menu 141: command ids, texts and status-bar prompts.
inline constexpr std::string_view kFileMenu = "파일";
inline constexpr std::string_view kSettingsMenu = "설정";
inline constexpr std::string_view kInfoMenu = "정보";
inline constexpr int kIdSaveConfig = 32781;
inline constexpr std::string_view kSaveConfig = "설정 저장";
inline constexpr std::string_view kSaveConfigPrompt = "Configration save";
inline constexpr int kIdExit = 32780;
inline constexpr std::string_view kExit = "종료";
inline constexpr std::string_view kExitPrompt = "Exit program";
inline constexpr int kIdRomLocation = 32777;
inline constexpr std::string_view kRomLocation = "롬 파일 위치 설정";
// The trailing blank belongs to the prompt.
inline constexpr std::string_view kRomLocationPrompt = "change directory for ROM file location ";
inline constexpr int kIdPortSettings = 32779;
inline constexpr std::string_view kPortSettings = "통신 포트 설정";
inline constexpr std::string_view kPortSettingsPrompt = "change property for communication port";
inline constexpr int kIdAppAbout = 57664;
inline constexpr std::string_view kAppAbout = "About Romvale...";
// The About items have no prompt.
inline constexpr std::string_view kNoPrompt = "";
inline constexpr int kIdAboutBox = 0x0010;
inline constexpr std::string_view kAboutBox = "Tarvix 정보(&A)...";
inline constexpr int kIdHelp = 57670;

// About box.
inline constexpr std::string_view kAboutCaption = "Romvale 정보";
inline constexpr std::string_view kAboutProgram = "프로그램 다운로더";
inline constexpr std::string_view kAboutVersion = "Ver 1.02  (C) Vornix Terminal Software Team";
inline constexpr std::string_view kAboutOk = "확인";

// Help window.
inline constexpr std::string_view kHelpCaption = "Romvale 도움말";

}  // namespace wnd
