// Runs the installer unattended, as a person would: starts Setup.exe, opens the folder picker with
// the browse button, picks a drive in the picker's tree, presses the install button, waits for the
// installer to close, and prints what was installed: files, shortcuts, registry values and the
// programs that were started. Screenshots of the whole screen are written as BMP files.
//
//   setup-demo install SETUP_EXE DRIVE SCREENSHOTS BROWSER_LOG
//     DRIVE        the drive to pick, e.g. D: (the installer adds its product folder)
//     SCREENSHOTS  folder for the screenshots (NAME.bmp); dialog.bmp is the dialog window alone
//     BROWSER_LOG  the log of the recorder standing in for the browser
//   setup-demo summary BROWSER_LOG
//     prints what the last installation left, found the way the installer finds it
//   setup-demo uninstall
//     runs the uninstall entry's command with /S, as a script would, and prints what is left of
//     the installation afterwards, and why
//   setup-demo uninstall-shortcut
//     opens the "卸载澜舟雅韵" shortcut, as a person would, waits for the uninstaller to finish
//     (it asks and tells on the screen) and prints what is left, and why
//
// Everything printed also goes to setup-demo.txt in the current directory, since a program started
// on Wine's virtual desktop has no console of its own.
//
// The installer's windows are driven with the Wine tests' own driver (tests/driver).
#include "dialog_driver.h"
#include "folder_picker.h"
#include "install/previous_install.h"
#include "install/product_constants.h"
#include "install/product_files.h"
#include "install/uninstall_plan.h"
#include "system/path_text.h"
#include "system/shell_links.h"
#include "system/system_multibyte_rules.h"
#include "system/win_resource.h"

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>
#include <shlobj.h>
#include <tlhelp32.h>
#include <wrl/client.h>

#include <array>
#include <cstdarg>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kInstallButton = 1;
constexpr int kBrowseButton = 1002;
constexpr int kPathDisplay = 1003;
constexpr int kAutoRunBox = 1004;
constexpr int kProgressBar = 1000;

std::FILE* g_report = nullptr;

// printf to the console and to the report file.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));
void Say(const char* format, ...) {
    va_list arguments;
    va_start(arguments, format);
    std::vprintf(format, arguments);
    va_end(arguments);
    if (g_report != nullptr) {
        va_start(arguments, format);
        std::vfprintf(g_report, format, arguments);
        va_end(arguments);
        std::fflush(g_report);
    }
}

// A window's area of the screen (the whole screen for the desktop window; under Wine's virtual
// desktop, that desktop) as a 24-bit BMP file.
bool CaptureScreen(const std::string& path, HWND window = GetDesktopWindow()) {
    HWND desktop = GetDesktopWindow();
    RECT area;
    GetWindowRect(window, &area);
    int width = area.right - area.left, height = area.bottom - area.top;
    HDC screen = GetDC(desktop);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const int stride = (width * 3 + 3) & ~3;
    std::vector<unsigned char> pixels(static_cast<std::size_t>(stride) *
                                      static_cast<std::size_t>(height));
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(desktop, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    std::fwrite(&file, sizeof file, 1, out);
    std::fwrite(&header, sizeof header, 1, out);
    std::fwrite(pixels.data(), 1, pixels.size(), out);
    return std::fclose(out) == 0;
}

bool RunningProcess(const char* name) {
    UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return false;
    PROCESSENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32First(snapshot.get(), &entry); more;
         more = Process32Next(snapshot.get(), &entry)) {
        if (lstrcmpiA(entry.szExeFile, name) == 0) return true;
    }
    return false;
}

void ListFiles(const std::string& directory, const std::string& shown, int& count,
               unsigned long long& bytes) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(FindFirstFileA((directory + "\\*").c_str(), &data));
    if (!find) return;
    std::vector<std::string> directories;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            directories.push_back(name);
        } else {
            unsigned long long size =
                (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
            Say("    %s%s  (%llu bytes)\n", shown.c_str(), name.c_str(), size);
            ++count;
            bytes += size;
        }
    } while (FindNextFileA(find.get(), &data));
    for (const std::string& name : directories)
        ListFiles(directory + "\\" + name, shown + name + "\\", count, bytes);
}

// The target path and hotkey of a shortcut, read back through the shell.
std::string ShortcutTarget(const std::string& link) {
    ScopedComInitialize com;
    Microsoft::WRL::ComPtr<IShellLinkA> shell;
    Microsoft::WRL::ComPtr<IPersistFile> file;
    std::array<wchar_t, MAX_PATH> widePath{};
    std::array<char, MAX_PATH> path{};
    WORD hotkey = 0;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&shell))) ||
        FAILED(shell.As(&file)) ||
        !MultiByteToWideChar(CP_ACP, 0, link.c_str(), -1, widePath.data(), MAX_PATH) ||
        FAILED(file->Load(widePath.data(), STGM_READ)) ||
        FAILED(shell->GetPath(path.data(), MAX_PATH, nullptr, SLGP_RAWPATH)) ||
        FAILED(shell->GetHotkey(&hotkey))) {
        return "(missing)";
    }
    std::array<char, 16> hot{};
    std::snprintf(hot.data(), hot.size(), "0x%04X", hotkey);
    return std::string(path.data()) + "  hotkey " + hot.data();
}

void PrintValue(HKEY root, const char* key, const char* value) {
    UniqueRegKey opened;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS) {
        Say("    %s: (no key)\n", value);
        return;
    }
    std::array<char, 520> data{};
    DWORD size = static_cast<DWORD>(data.size() - 1), type = 0;
    if (RegQueryValueExA(opened.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS) {
        Say("    %s: (not set)\n", value);
        return;
    }
    Say("    %s = \"%s\"\n", value, data.data());
}

void PrintSummary(const std::string& installDir, const std::string& browserLog) {
    if (installDir.empty()) {
        Say("\nNo installation found.\n");
        return;
    }
    Say("\nInstalled into %s:\n", installDir.c_str());
    int count = 0;
    unsigned long long bytes = 0;
    ListFiles(installDir, "", count, bytes);
    Say("    %d files, %llu bytes\n", count, bytes);

    std::array<char, MAX_PATH> desktop{}, programs{};
    Say("\nShortcuts:\n");
    if (GetShellFolderPath(CSIDL_DESKTOP, desktop.data())) {
        std::string link = std::string(desktop.data()) + "\\澜舟雅韵.lnk";
        Say("    %s\n      -> %s\n", link.c_str(), ShortcutTarget(link).c_str());
    }
    if (GetShellFolderPath(CSIDL_PROGRAMS, programs.data())) {
        for (const char* suffix :
             {"\\澜舟雅韵\\澜舟雅韵.lnk", "\\澜舟雅韵.lnk", "\\澜舟雅韵\\卸载澜舟雅韵.lnk",
              "\\澜舟雅韵\\录音转MP3工具.lnk", "\\澜舟雅韵\\电台修复.lnk"}) {
            std::string link = std::string(programs.data()) + suffix;
            Say("    %s\n      -> %s\n", link.c_str(), ShortcutTarget(link).c_str());
        }
    }

    Say("\nRegistry (HKEY_LOCAL_MACHINE):\n");
    const char* uninstall = "software\\microsoft\\windows\\currentversion\\Uninstall\\Quenvox";
    Say("  %s\n", uninstall);
    for (const char* value :
         {"DisplayName", "DisplayVersion", "Publisher", "DisplayIcon", "UninstallString"}) {
        PrintValue(HKEY_LOCAL_MACHINE, uninstall, value);
    }
    Say("  software\\microsoft\\windows\\currentversion\\Run\n");
    PrintValue(HKEY_LOCAL_MACHINE, "software\\microsoft\\windows\\currentversion\\Run", "Quenvox");

    Say("\nPrograms started:\n");
    Say("    %s: %s\n", kMainProcessName,
        RunningProcess(kMainProcessName) ? "running" : "not running");
    std::string log;
    if (std::FILE* file = std::fopen(browserLog.c_str(), "rb")) {
        std::array<char, 1024> text{};
        log.assign(text.data(), std::fread(text.data(), 1, text.size() - 1, file));
        std::fclose(file);
    }
    while (!log.empty() && (log.back() == '\n' || log.back() == '\r')) log.pop_back();
    Say("    browser: %s\n", log.empty() ? "(not started)" : log.c_str());
}

std::string RegistryText(HKEY root, const char* key, const char* value) {
    UniqueRegKey opened;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, opened.put()) != ERROR_SUCCESS) return {};
    std::array<char, 1024> data{};
    DWORD size = static_cast<DWORD>(data.size() - 1), type = 0;
    if (RegQueryValueExA(opened.get(), value, nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                         &size) != ERROR_SUCCESS) {
        return {};
    }
    return data.data();
}

bool KeyExists(HKEY root, const char* key) {
    UniqueRegKey opened;
    return RegOpenKeyExA(root, key, 0, KEY_READ, opened.put()) == ERROR_SUCCESS;
}

// Every file and folder below `directory`, relative to it, folders with a trailing backslash.
void Collect(const std::string& directory, const std::string& shown,
             std::vector<std::string>& entries) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle find(FindFirstFileA((directory + "\\*").c_str(), &data));
    if (!find) return;
    do {
        std::string name = data.cFileName;
        if (name == "." || name == "..") continue;
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            entries.push_back(shown + name + "\\");
            Collect(directory + "\\" + name, shown + name + "\\", entries);
        } else {
            entries.push_back(shown + name);
        }
    } while (FindNextFileA(find.get(), &data));
}

// What an installation in `installDir` left after its uninstaller ran, and why; `listed` holds the
// file list's lines as it was before.
void PrintLeftovers(const std::string& installDir, const std::vector<std::string>& listed) {
    const MultibyteRules& rules = SystemMultibyteRules();
    std::vector<std::string> left;
    std::vector<std::string> entries;
    Collect(installDir, "", entries);
    for (const std::string& entry : entries) {
        bool isListed = false;  // a listed file, or a folder of listed files
        for (const std::string& line : listed) {
            isListed = isListed || SameTextIgnoringCase(line, entry, rules);
        }
        const std::string path = installDir + "\\" + entry;
        if (entry.back() == '\\') {
            left.push_back(path + (isListed ? "  (an installed folder, kept for what is left in it)"
                                            : "  (a folder of the user's own, kept)"));
        } else {
            left.push_back(path + (isListed
                                       ? "  (installed, and the uninstaller could not remove it)"
                                       : "  (not installed by the product: the user's own, kept)"));
        }
    }
    if (entries.empty() && GetFileAttributesA(installDir.c_str()) != INVALID_FILE_ATTRIBUTES) {
        left.push_back(installDir + "  (the installation folder, empty: not removed)");
    }

    std::array<char, MAX_PATH> desktop{}, programs{};
    const bool haveDesktop = GetShellFolderPath(CSIDL_DESKTOP, desktop.data());
    const bool havePrograms = GetShellFolderPath(CSIDL_PROGRAMS, programs.data());
    for (const ProductShortcut& shortcut : kProductShortcuts) {
        const bool onDesktop = shortcut.folder == ShortcutFolder::kDesktop;
        if (!(onDesktop ? haveDesktop : havePrograms)) continue;
        std::string link =
            std::string(onDesktop ? desktop.data() : programs.data()) + shortcut.suffix;
        if (GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) {
            left.push_back(link + "  (shortcut to " + ShortcutTarget(link) + ")");
        }
    }
    if (havePrograms) {
        std::string group = std::string(programs.data()) + kProgramGroupSuffix;
        if (GetFileAttributesA(group.c_str()) != INVALID_FILE_ATTRIBUTES) {
            left.push_back(group + "  (the program group, not empty)");
        }
    }
    if (KeyExists(HKEY_LOCAL_MACHINE, kUninstallEntryKey)) {
        left.push_back(std::string("HKEY_LOCAL_MACHINE\\") + kUninstallEntryKey +
                       "  (the uninstall entry, kept while installed files are left)");
    }
    std::string run = RegistryText(HKEY_LOCAL_MACHINE, kRunKey, kRegistryName);
    if (!run.empty()) {
        left.push_back(std::string("HKEY_LOCAL_MACHINE\\") + kRunKey + "\\" + kRegistryName +
                       " = " + run +
                       (CommandPointsInto(run, installDir, rules)
                            ? "  (points into the installation, yet not removed)"
                            : "  (starts a program elsewhere: not the installation's)"));
    }
    if (RunningProcess(kMainProcessName))
        left.push_back(std::string(kMainProcessName) + " (running)");

    Say("\nWhat is left of the installation:\n");
    if (left.empty()) Say("    nothing: files, folder, shortcuts and registry entries are gone\n");
    for (const std::string& item : left) Say("    %s\n", item.c_str());
}

// The file list's lines, read before the uninstaller removes it.
std::vector<std::string> ListedFiles(const std::string& installDir) {
    std::vector<std::string> lines;
    std::FILE* file = std::fopen((installDir + "\\" + kFileListName).c_str(), "rb");
    if (file == nullptr) return lines;
    std::string text;
    std::array<char, 4096> chunk{};
    for (std::size_t got; (got = std::fread(chunk.data(), 1, chunk.size(), file)) > 0;) {
        text.append(chunk.data(), got);
    }
    std::fclose(file);
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (!line.empty()) lines.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    if (!line.empty()) lines.push_back(line);
    // Each folder of a listed file is the installation's too.
    const std::size_t files = lines.size();
    for (std::size_t i = 0; i < files; ++i) {
        for (std::size_t cut = lines[i].find('\\'); cut != std::string::npos;
             cut = lines[i].find('\\', cut + 1)) {
            lines.push_back(lines[i].substr(0, cut + 1));
        }
    }
    lines.push_back(kFileListName);
    return lines;
}

int Fail(const char* what) {
    Say("setup-demo: %s\n", what);
    return 1;
}

}  // namespace

int Install(const std::string& setup, const std::string& drive, const std::string& shots,
            const std::string& browserLog) {
    std::string directory = setup.substr(0, setup.find_last_of('\\'));
    std::string commandLine = "\"" + setup + "\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started{};
    if (!CreateProcessA(setup.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        directory.c_str(), &startup, &started)) {
        return Fail("Setup.exe could not be started");
    }
    UniqueHandle process(started.hProcess), thread(started.hThread);
    const DWORD pid = started.dwProcessId;

    const std::string title = std::string(kProductName) + kVersionText + " " + kBuildText;
    HWND dialog = dd::WaitForDialog(pid, title, 60000);
    if (dialog == nullptr) return Fail("the setup dialog did not appear");
    Say("Setup dialog: \"%s\"\n", title.c_str());
    Sleep(500);
    CaptureScreen(shots + "\\start.bmp");

    // The browse button opens the shell's folder picker; pick the drive in its tree.
    dd::Click(dialog, kBrowseButton);
    HWND picker = dd::WaitForFolderPicker(pid, dialog, 30000);
    if (picker == nullptr) return Fail("the folder picker did not appear");
    Sleep(1500);  // the picker fills its tree after it shows
    std::vector<std::string> seen;
    if (!dd::SelectDrive(picker, pid, drive, 30000, &seen)) {
        if (seen.empty()) return Fail("the folder picker's tree cannot be read");
        for (const std::string& text : seen) Say("    picker item: %s\n", text.c_str());
        return Fail("the drive was not found in the folder picker");
    }
    Sleep(300);
    CaptureScreen(shots + "\\picker.bmp");
    dd::Click(picker, IDOK);

    const std::string expected = drive + "\\" + kProductFolder;
    if (!dd::WaitUntil([&] { return dd::ControlText(dialog, kPathDisplay) == expected; }, 15000)) {
        return Fail("the chosen folder did not show in the dialog");
    }
    Say("Target folder chosen in the folder picker: %s\n", expected.c_str());
    Say("Start with Windows: %s\n",
        dd::CheckState(dialog, kAutoRunBox) == BST_CHECKED ? "ticked" : "cleared");
    Sleep(300);
    CaptureScreen(shots + "\\ready.bmp");
    CaptureScreen(shots + "\\dialog.bmp", dialog);

    dd::Click(dialog, kInstallButton);
    int lastPosition = 0;
    dd::WaitUntil(
        [&] {
            LRESULT position = 0;
            DWORD_PTR result = 0;
            if (SendMessageTimeoutA(GetDlgItem(dialog, kProgressBar), PBM_GETPOS, 0, 0, SMTO_BLOCK,
                                    1000, &result)) {
                position = static_cast<LRESULT>(result);
                lastPosition = static_cast<int>(position);
            }
            return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
        },
        120000);
    if (WaitForSingleObject(process.get(), 0) != WAIT_OBJECT_0)
        return Fail("the installer did not finish");
    Say("Installer finished and closed (progress last seen at %d%%).\n", lastPosition);

    // The product and the browser were started just before the installer closed.
    dd::WaitUntil([&] { return RunningProcess(kMainProcessName); }, 10000);
    Sleep(1000);
    CaptureScreen(shots + "\\installed.bmp");
    PrintSummary(expected, browserLog);
    return 0;
}

// Waits for the uninstaller and for its copy, which removes the uninstaller's file and the folder
// just after it has ended.
void WaitForUninstaller(HANDLE process, const std::string& uninstaller, DWORD& exitCode) {
    WaitForSingleObject(process, 600000);
    GetExitCodeProcess(process, &exitCode);
    dd::WaitUntil(
        [&] { return GetFileAttributesA(uninstaller.c_str()) == INVALID_FILE_ATTRIBUTES; }, 15000);
}

int Uninstall(bool throughShortcut) {
    const std::string installDir = FindPreviousInstallDir(nullptr);
    if (installDir.empty()) return Fail("no installation found");
    const std::vector<std::string> listed = ListedFiles(installDir);
    const std::string uninstaller = installDir + "\\quenunset.exe";
    DWORD exitCode = STILL_ACTIVE;
    if (throughShortcut) {
        std::array<char, MAX_PATH> programs{};
        if (!GetShellFolderPath(CSIDL_PROGRAMS, programs.data())) {
            return Fail("the Start menu's programs folder is unknown");
        }
        const std::string link = std::string(programs.data()) + "\\澜舟雅韵\\卸载澜舟雅韵.lnk";
        Say("Opening the shortcut %s\n", link.c_str());
        SHELLEXECUTEINFOA open{};
        open.cbSize = sizeof open;
        open.fMask = SEE_MASK_NOCLOSEPROCESS;
        open.lpFile = link.c_str();
        open.nShow = SW_SHOWNORMAL;
        if (!ShellExecuteExA(&open)) return Fail("the uninstall shortcut could not be opened");
        // The shell may start a shortcut's program without handing out its process.
        UniqueHandle process(open.hProcess);
        if (!process) {
            dd::WaitUntil([&] { return RunningProcess("quenunset.exe"); }, 30000);
            UniqueFileHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
            PROCESSENTRY32 entry{};
            entry.dwSize = sizeof entry;
            for (BOOL more = Process32First(snapshot.get(), &entry); more && !process;
                 more = Process32Next(snapshot.get(), &entry)) {
                if (lstrcmpiA(entry.szExeFile, "quenunset.exe") == 0) {
                    process.reset(OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE,
                                              entry.th32ProcessID));
                }
            }
            if (!process) return Fail("the uninstaller did not start");
        }
        WaitForUninstaller(process.get(), uninstaller, exitCode);
    } else {
        std::string command =
            RegistryText(HKEY_LOCAL_MACHINE, kUninstallEntryKey, kUninstallStringValue);
        if (command.empty()) return Fail("the uninstall entry names no uninstaller");
        Say("Uninstalling as a script does: \"%s\" /S\n", command.c_str());
        std::string commandLine = "\"" + command + "\" /S";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessA(command.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                            nullptr, nullptr, &startup, &started)) {
            return Fail("the uninstaller could not be started");
        }
        UniqueHandle process(started.hProcess), thread(started.hThread);
        WaitForUninstaller(process.get(), uninstaller, exitCode);
    }
    Say("Uninstaller finished with exit code %lu (%s).\n", exitCode,
        exitCode == 0   ? "everything listed was removed"
        : exitCode == 1 ? "cancelled"
        : exitCode == 2 ? "something is left"
                        : "no file list: nothing removed");
    PrintLeftovers(installDir, listed);
    return 0;
}

int main(int argc, char** argv) {
    g_report = std::fopen("setup-demo.txt", "w");
    int status = 2;
    if (argc == 6 && std::string(argv[1]) == "install") {
        status = Install(argv[2], argv[3], argv[4], argv[5]);
    } else if (argc == 3 && std::string(argv[1]) == "summary") {
        PrintSummary(FindPreviousInstallDir(nullptr), argv[2]);
        status = 0;
    } else if (argc == 2 && std::string(argv[1]) == "uninstall") {
        status = Uninstall(false);
    } else if (argc == 2 && std::string(argv[1]) == "uninstall-shortcut") {
        status = Uninstall(true);
    } else {
        Say("usage: setup-demo install SETUP_EXE DRIVE SCREENSHOTS BROWSER_LOG | setup-demo "
            "summary BROWSER_LOG | setup-demo uninstall | setup-demo uninstall-shortcut\n");
    }
    Say("setup-demo: done (%d)\n", status);
    if (g_report != nullptr) std::fclose(g_report);
    return status;
}
