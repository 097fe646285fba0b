#include "win32_application.h"

#include "platform_messages.h"

void (*ApplicationInitProc)() = nullptr;

namespace {

constexpr char kWindowClassName[] = "TApplication";

// The window is a caption bar of no size: it exists for the task bar only.
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX | WS_VISIBLE;

// The executable's file name without folder and extension.
std::string ExecutableTitle(HINSTANCE instance) {
  char path[MAX_PATH + 1] = {};
  const DWORD length = GetModuleFileNameA(instance, path, MAX_PATH);
  std::string name(path, length);
  const std::size_t slash = name.find_last_of("\\/");
  if (slash != std::string::npos) name.erase(0, slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.erase(dot);
  return name;
}

}  // namespace

TApplication::TApplication(HINSTANCE instance) : instance_(instance), title_(ExecutableTitle(instance)) {
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance_;
  windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
  windowClass.lpszClassName = kWindowClassName;
  windowClass_ = RegisterClassA(&windowClass);
  if (windowClass_ == 0) throw EOutOfResources(kWindowClassErrorMessage);

  const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
  const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
  window_ = CreateWindowExA(0, kWindowClassName, title_.c_str(), kWindowStyle, x, y, 0, 0, nullptr, nullptr,
                            instance_, nullptr);
  if (window_ == nullptr) {
    UnregisterClassA(kWindowClassName, instance_);
    throw EOutOfResources(kWindowCreateErrorMessage);
  }
}

TApplication::~TApplication() {
  DestroyWindow(window_);
  UnregisterClassA(kWindowClassName, instance_);
}

void TApplication::Initialize() {
  if (ApplicationInitProc != nullptr) ApplicationInitProc();
}

void TApplication::SetTitle(const std::string& title) {
  title_ = title;
  SetWindowTextA(window_, title_.c_str());
}

void TApplication::Run() {}
