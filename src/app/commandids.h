#pragma once

// Command identifiers: the keys under which the command table, the menus, the
// tool bar and the accelerators name a command and the frame finds its action.
namespace velkar::cmd {

inline constexpr int FileNew = 57600;
inline constexpr int FileOpen = 57601;
inline constexpr int FileSave = 57603;
inline constexpr int FileSaveAs = 57604;
inline constexpr int FilePrintSetup = 57606;
inline constexpr int FilePrint = 57607;
inline constexpr int FilePrintDirect = 57608;
inline constexpr int FilePrintPreview = 57609;
inline constexpr int FileMru1 = 57616;  // first recent file; "Recent" while the list is empty
inline constexpr int EditCopy = 57634;
inline constexpr int EditCut = 57635;
inline constexpr int EditPaste = 57637;
inline constexpr int EditUndo = 57643;
inline constexpr int AppAbout = 57664;
inline constexpr int AppExit = 57665;
inline constexpr int NextPane = 57680;
inline constexpr int PrevPane = 57681;
inline constexpr int ViewToolbar = 59392;
inline constexpr int ViewStatusBar = 59393;
inline constexpr int ZoomOut = 32771;
inline constexpr int Cut = 32772;
inline constexpr int ZoomIn = 32773;
inline constexpr int SerialPort = 32775;
inline constexpr int Import = 32776;
inline constexpr int CutterParameter = 32777;
inline constexpr int Material = 32778;
inline constexpr int Redraw = 32779;
inline constexpr int DefineColor = 32780;
inline constexpr int PenTip = 32781;
inline constexpr int Move = 32782;
inline constexpr int Fit = 32783;

inline constexpr int RecentFileCount = 4;

}  // namespace velkar::cmd
