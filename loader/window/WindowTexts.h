// Texts and control ids of the loader's main window, menus and About box.
// UTF-8, byte for byte as the program shows them.
#pragma once

#include <array>
#include <string_view>

namespace wnd {

// Caption: the program's name and version, then who made it.
inline constexpr std::string_view kShownVersion = "Romvale Ver 1.02";
inline constexpr std::string_view kCaption = "Romvale Ver 1.02 - Vornix Terminal Software Team";
static_assert(kCaption.starts_with(kShownVersion));
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

inline constexpr std::string_view kRomLocationButton = "롬 파일 위치 설정(&L)";
inline constexpr std::string_view kPortSettingsButton = "통신 포트 설정(&P)";
inline constexpr std::string_view kDownloadButton = "롬 파일 다운로드(&D)";
inline constexpr std::string_view kExitButton = "종료(&X)";
// Each button and menu carries a mnemonic (Alt+letter); no two on the window share one.
inline constexpr std::string_view kSettingsGroup = "프로그램 설정";
inline constexpr std::string_view kProgressGroup = "다운로드 진행 상태";
// Columns of the serial lines table (several lines served at once).
inline constexpr std::array<std::string_view, 5> kLinesColumns = {"Line", "Device", "State", "File",
                                                                  "Progress"};

// Menu 141: command ids, texts and status-bar prompts.
inline constexpr std::string_view kFileMenu = "파일(&F)";
inline constexpr std::string_view kSettingsMenu = "설정(&S)";
inline constexpr std::string_view kInfoMenu = "정보(&I)";
inline constexpr int kIdSaveConfig = 32781;
inline constexpr std::string_view kSaveConfig = "설정 저장(&S)";
inline constexpr std::string_view kSaveConfigPrompt = "Configration save";
inline constexpr int kIdExit = 32780;
inline constexpr std::string_view kExit = "종료(&X)";
inline constexpr std::string_view kExitPrompt = "Exit program";
inline constexpr int kIdRomLocation = 32777;
inline constexpr std::string_view kRomLocation = "롬 파일 위치 설정(&L)";
// The trailing blank belongs to the prompt.
inline constexpr std::string_view kRomLocationPrompt = "change directory for ROM file location ";
inline constexpr int kIdPortSettings = 32779;
inline constexpr std::string_view kPortSettings = "통신 포트 설정(&P)";
inline constexpr std::string_view kPortSettingsPrompt = "change property for communication port";
inline constexpr int kIdAppAbout = 57664;
inline constexpr std::string_view kAppAbout = "About &Romvale...";
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

// Ending the program while a terminal is being loaded.
inline constexpr std::string_view kQuitQuestion =
    "다운로드가 진행 중입니다. 지금 종료하면 단말기의 다운로드가 중단됩니다.\n"
    "종료하시겠습니까?";
inline constexpr std::string_view kQuitAnyway = "종료(&Y)";
inline constexpr std::string_view kKeepRunning = "계속 실행(&N)";

// The missing configuration file: where it was looked for.
inline constexpr std::string_view kConfigLookedFor = "찾은 위치: ";

// Port-settings dialog: the device behind the chosen COM name and the adapters found.
inline constexpr std::string_view kPortDeviceLabel = "장치:";
inline constexpr std::string_view kAdapterLabel = "어댑터(&A):";
inline constexpr std::string_view kKeepDevice = "(장치 그대로)";
inline constexpr std::string_view kNoAdapterFound = "(USB 시리얼 어댑터 없음)";

// Help window.
inline constexpr std::string_view kHelpCaption = "Romvale 도움말";

}  // namespace wnd
