// Three of the four programs of the sample product, chosen at build time: the radio player
// itself, the recording-to-MP3 tool or the repair tool. Each is a small window that says what it
// stands for; the player also shows its version texts and the folder it runs from. The fourth,
// the uninstaller, is uninstaller.cpp.
#include <windows.h>

#include <array>
#include <string>

namespace {

#if defined(SAMPLE_ROLE_MAIN)
constexpr char kTitle[] = "澜舟雅韵全球网络收音机";
constexpr char kPurpose[] = "示例产品: 桌面网络收音机。";
#elif defined(SAMPLE_ROLE_RECORDER)
constexpr char kTitle[] = "录音转MP3工具";
constexpr char kPurpose[] = "示例产品的录音转MP3工具。";
#elif defined(SAMPLE_ROLE_REPAIR)
constexpr char kTitle[] = "电台修复";
constexpr char kPurpose[] = "示例产品的电台修复工具。";
#else
#error "choose one SAMPLE_ROLE_..."
#endif

std::string RunningFolder() {
    std::array<char, MAX_PATH> path{};
    DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    std::string folder(path.data(), length < path.size() ? length : 0);
    std::size_t cut = folder.find_last_of('\\');
    return cut == std::string::npos ? folder : folder.substr(0, cut);
}

std::string BodyText() {
    std::string text = std::string(kTitle) + "\r\n\r\n" + kPurpose + "\r\n";
#if defined(SAMPLE_ROLE_MAIN)
    text += "Ver:2011-II Build:12019\r\n";
#endif
    text += "运行目录: " + RunningFolder();
    return text;
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(window, &paint);
            RECT area;
            GetClientRect(window, &area);
            InflateRect(&area, -16, -16);
            HGDIOBJ oldFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
            SetBkMode(dc, TRANSPARENT);
            std::string text = BodyText();
            DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area,
                      DT_LEFT | DT_WORDBREAK);
            SelectObject(dc, oldFont);
            EndPaint(window, &paint);
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int show) {
    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconA(nullptr, reinterpret_cast<LPCSTR>(IDI_APPLICATION));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = "QuenVoxSampleWindow";
    if (!RegisterClassA(&windowClass)) return 1;
    HWND window =
        CreateWindowExA(0, windowClass.lpszClassName, kTitle, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                        CW_USEDEFAULT, 480, 220, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) return 1;
    ShowWindow(window, show);
    UpdateWindow(window);
    MSG message;
    while (GetMessageA(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
    return static_cast<int>(message.wParam);
}
