// Texts and names compiled into the installer. Narrow literals are stored in code page 936.
#pragma once

inline constexpr char kVersionText[] = "Ver:2011-II";
inline constexpr char kBuildText[] = "Build:12019";
inline constexpr char kProductName[] = "澜舟雅韵全球网络收音机";

// Caption of a finished install button; the dialog tells a finished installation by these bytes.
inline constexpr char kFinishedCaption[] = "完成";

// The main program as it is started and looked up among running processes.
inline constexpr char kMainProcessName[] = "QuenVox.exe";
inline constexpr char kMainProgramTail[] = "\\QuenVox.exe";
inline constexpr char kPlayerProcessName[] = "mplayer.exe";

// The product's folder, always added below the folder the user picks.
inline constexpr char kProductFolder[] = "QuenVox";
inline constexpr char kProductFolderTail[] = "\\QuenVox";

inline constexpr char kPayloadFileName[] = "Data.cab";
inline constexpr char kHomePageUrl[] = "http://www.quenvox.com";
