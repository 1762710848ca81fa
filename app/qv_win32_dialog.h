// The wizard window object: a thin layer over one Win32 popup window. The
// framework (class registration, creation, dispatch) lives in app/, the
// wizard behaviour behind the virtual operations in wizard/.
#pragma once

#include <windows.h>

#include <string>

#include "engine/install_job.h"
#include "skin/image_button.h"
#include "skin/skin_image.h"

enum WizardPage { PAGE_WELCOME = 0, PAGE_DIRECTORY = 1, PAGE_PROGRESS = 2 };

class qvWin32Dialog {
 public:
  explicit qvWin32Dialog(HINSTANCE instance);
  ~qvWin32Dialog();
  qvWin32Dialog(const qvWin32Dialog&) = delete;
  qvWin32Dialog& operator=(const qvWin32Dialog&) = delete;

  // Registers the window class and creates the popup window (width and height
  // are the rectangle's right and bottom); shows it when `style` has
  // WS_VISIBLE. False when the window cannot be made or OnCreate fails.
  virtual bool Create(const char* className, const char* title, DWORD style, const RECT& rect);
  virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
  virtual int OnTimer(UINT timerId);
  virtual int OnPaint(HDC dc);
  virtual bool OnCreate();

  static LRESULT CALLBACK StaticWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  // Pages and commands.
  void ShowPage();
  void OnCommand(WPARAM wParam);
  void RequestClose();
  void StartInstall();
  void OnAgreeClicked();

  // The install directory.
  void OnPathEdited();
  void BrowseForFolder();
  // What Browse does with the folder the user chose.
  void AcceptChosenFolder(const char* path);
  void RestoreDefaultDir();

  // Painting.
  void PaintWelcomePage(HDC dc);
  void PaintDirectoryPage(HDC dc);
  // The heading and the product line under the banner of pages 1 and 2; the
  // body font stays selected.
  void PaintBannerHeading(HDC dc, const char* heading, const char* productLine);
  void PaintProgressPage(HDC dc);

  // Worker notifications, exit and report.
  LRESULT OnSetupProgress(int percent);
  LRESULT OnSetupState(int newState);
  void SendCompletionReport();
  void WriteWbConfig();

  HWND hwnd;
  HWND progressBar;
  HWND agreeBox;
  HWND pathEdit;
  HINSTANCE hInstance;
  CWINButton cancelButton;
  CWINButton closeButton;
  CWINButton minimizeButton;
  CWINButton installButton;
  CWINButton agreementLink;
  CWINButton nextButton;
  CWINButton defaultDirLink;
  CWINButton browseButton;
  CWINButton backButton;
  SkinImage backgroundImage;
  SkinImage sideImage;
  SkinImage bannerImage;
  SkinImage pathFrameImage;
  SkinImage folderImage;
  int page;
  char agreeLabel[260];
  int state;
  int requiredKB;
  int freeKB;
  int progress;
  InstallJob job;
  bool pathInvalid;
  std::string statusText;
  RECT statusRect;
  RECT percentRect;
  char defaultDir[260];
  char targetDir[260];
  HFONT pathFont;  // the path field's font, for the window's life

  // The page fonts, made once and kept for the window's life.
  struct PageFonts {
    PageFonts();
    ~PageFonts();
    HFONT title;
    HFONT heading;
    HFONT body;
  } fonts;

 private:
  HWND CreateImageButton(CWINButton& button, int id, int x, int y, int w, int h, WORD png, bool hand);
  LRESULT HitTest();
};
