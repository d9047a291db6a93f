// The smallest Win32 program with a window like accessurl's: the yardstick for its start-up time.
// Built with the same compiler and flags; see tools/measure_performance.py.
#include <windows.h>

namespace {

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  if (message == WM_KEYDOWN && wParam == VK_ESCAPE) {
    DestroyWindow(hwnd);
    return 0;
  }
  return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  WNDCLASSW windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  windowClass.lpszClassName = L"BareWindow";
  RegisterClassW(&windowClass);
  const int left = (GetSystemMetrics(SM_CXSCREEN) - 423) / 2;
  const int top = (GetSystemMetrics(SM_CYSCREEN) - 112) / 2;
  const HWND hwnd = CreateWindowExW(0, L"BareWindow", L"", WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                    left, top, 423, 112, nullptr, nullptr, instance, nullptr);
  if (hwnd == nullptr)
    return -1;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  UpdateWindow(hwnd);
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
