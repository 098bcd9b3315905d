#include "app/EntryRoutine.h"

#include "app/Error.h"
#include "app/ProcessGlobals.h"
#include "app/SystemBinding.h"
#include "lang/CoreDictionary.h"
#include "platform/vcl/Forms.h"
#include "platform/win32/com.h"
#include "platform/win32/lasterror.h"
#include "platform/win32/messagebox.h"
#include "platform/win32/mutex.h"
#include "platform/win32/sysinfo.h"
#include "platform/win32/window.h"
#include "platform/win32/winerror.h"
#include "ui/frmMainUnit.h"

namespace {

// The operating-system check's failure: not an Orv::TError.
struct StartCheckFailure {
  const char16_t* text;
};

}  // namespace

int WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int) {
  CommandLine = commandLine ? commandLine : "";

  WSADATA wsa;
  WSAStartup(0x0101, &wsa);

  if (!BindSystemLibraries()) {
    MessageBoxW(nullptr, u"Error initialize Orv-env!", u"Error",
                MB_TASKMODAL | MB_ICONERROR | MB_OK);
    return 2;  // a start that could not begin is not a normal end
  }

  FormSettingsPaths();
  LoadCoreDictionary((ExecutableFolderAnsi() + "corelang.dic").c_str());

  // Named by the title the framework holds now: the executable's file name.
  HANDLE instanceMutex = CreateMutexA(nullptr, FALSE, Application->Title().c_str());
  if (GetLastError() == ERROR_ALREADY_EXISTS) return 1;
  (void)instanceMutex;  // held for the life of the process

  SetWindowLongW(Application->Handle(), GWL_EXSTYLE, WS_EX_TOOLWINDOW);
  CoInitialize(nullptr);

  try {
    if (!IsWindows2000OrLater())
      throw StartCheckFailure{u"Error: This program must be run under W2k and above"};
    EnableDebugPrivilege();
    Application->Initialize();
    Application->SetTitle(" Orv | Kestrow?");
    Application->CreateForm(frmMain);
    Application->Run();
  } catch (Orv::TError* e) {
    ShowError(e);
    Screen->SetCursor(crDefault);
  } catch (const StartCheckFailure& failure) {
    MessageBoxW(nullptr, failure.text, u"Error", MB_TASKMODAL | MB_ICONERROR | MB_OK);
    Screen->SetCursor(crDefault);
  } catch (...) {
    MessageBoxW(nullptr, u"Unknown error", u"Error", MB_TASKMODAL | MB_ICONERROR | MB_OK);
    Screen->SetCursor(crDefault);
  }

  UnbindSystemLibraries();
  CoUninitialize();
  return 0;
}
