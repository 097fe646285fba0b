#pragma once
// The application object. It owns the process's top-level window: created
// with the object (no size, at the centre of the screen, visible), captioned
// with the application title, it is what the task bar shows while the program
// works. The program has no main window of its own, so there is no message
// loop: the run step returns at once.

#include <windows.h>

#include <string>

#include "exception.h"

// The system refused the window or its class.
DECLARE_EXCEPTION_CLASS(EOutOfResources, Exception);

// The initialisation hook that Initialize() runs; none unless a unit installs one.
extern void (*ApplicationInitProc)();

class TApplication {
 public:
  // Registers the window class and creates the top-level window, captioned
  // with the executable's file name until a title is set.
  explicit TApplication(HINSTANCE instance);
  ~TApplication();

  TApplication(const TApplication&) = delete;
  TApplication& operator=(const TApplication&) = delete;

  // Runs ApplicationInitProc, if one is installed.
  void Initialize();

  // The title, which is also the caption of the top-level window.
  void SetTitle(const std::string& title);
  const std::string& Title() const { return title_; }

  // Returns at once: without a main window there is nothing to run.
  void Run();

  HINSTANCE Instance() const { return instance_; }
  HWND Handle() const { return window_; }

 private:
  HINSTANCE instance_;
  ATOM windowClass_ = 0;
  HWND window_ = nullptr;
  std::string title_;
};
