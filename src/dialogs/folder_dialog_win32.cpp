// Dialog 133: the working folder for record files and screenshots.
#include <windows.h>
// After windows.h, which they need.
#include <objbase.h>
#include <shlobj.h>

#include "app/app_data_win32.h"
#include "app/main_window_win32.h"
#include "app/ui_text_win32.h"
#include "dialogs/connect_dialog_win32.h"
#include "live/live_link_win32.h"
#include "resource.h"

namespace sk720 {

namespace {

constexpr int kIdPath = 1007;
constexpr int kIdChange = 1012;
constexpr int kPathChars = 260;

void browse(HWND dlg) {
  const std::wstring title = loadText(IDS_SELECT_WORKING_FOLDER);
  BROWSEINFOW bi{};
  bi.hwndOwner = dlg;
  bi.lpszTitle = title.c_str();
  bi.ulFlags = 0x1053;  // file-system folders, not below the domain, edit box, new style
  PIDLIST_ABSOLUTE item = SHBrowseForFolderW(&bi);
  if (!item) return;
  wchar_t path[MAX_PATH] = {};
  if (SHGetPathFromIDListW(item, path)) SetDlgItemTextW(dlg, kIdPath, path);
  CoTaskMemFree(item);
}

bool isFolder(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

// True when the folder exists (or was made) and is stored; the dialog stays open otherwise.
bool accept(HWND dlg, AppData& a) {
  wchar_t text[kPathChars + 1] = {};
  GetDlgItemTextW(dlg, kIdPath, text, kPathChars + 1);
  // A relative path would name a different folder whenever the current folder changes.
  wchar_t full[MAX_PATH] = {};
  const DWORD n = text[0] ? GetFullPathNameW(text, MAX_PATH, full, nullptr) : 0;
  if (n == 0 || n >= MAX_PATH) {
    if (n >= MAX_PATH) SetLastError(ERROR_FILENAME_EXCED_RANGE);
    if (!text[0]) SetLastError(ERROR_PATH_NOT_FOUND);
    ShowLastError(dlg);
    return false;
  }
  if (!isFolder(full) && !CreateDirectoryW(full, nullptr)) {
    ShowLastError(dlg);
    return false;
  }
  const std::string chosen = narrow(full);
  SetWorkingFolder(*a.settings, chosen);
  std::string stored;
  a.workingFolder = GetWorkingFolder(*a.settings, stored) == kSettingsOk ? stored : chosen;
  a.live.acq->setWorkingFolder(a.workingFolder);
  return true;
}

INT_PTR CALLBACK folderProc(HWND dlg, UINT msg, WPARAM wParam, LPARAM) {
  AppData* a = appDataOf(GetParent(dlg));
  switch (msg) {
    case WM_INITDIALOG:
      SendDlgItemMessageW(dlg, kIdPath, EM_SETLIMITTEXT, kPathChars, 0);
      if (a) SetDlgItemTextW(dlg, kIdPath, widen(a->workingFolder).c_str());
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case kIdChange:
          browse(dlg);
          return TRUE;
        case IDOK:
          if (a && accept(dlg, *a)) EndDialog(dlg, IDOK);
          return TRUE;
        case IDCANCEL:
          EndDialog(dlg, IDCANCEL);
          return TRUE;
        default:
          break;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace

void runWorkingFolderDialog(HWND main) {
  // The folder browser's new style needs COM on this thread.
  OleInitialize(nullptr);
  DialogBoxParamW(programInstance(), MAKEINTRESOURCEW(IDD_WORKINGFOLDER), main, folderProc, 0);
}

}  // namespace sk720
