; The Windows installer of qxmover: the class library (qxclass.dll), its development files (import
; library, headers, CMake and pkg-config packages), the language files, the service qxmover.exe and,
; where the build made it, its window program qxmover-window.exe, with one entry that starts the
; program at log-on: the window program when there is one (it runs the service and shows its window),
; else the service.
;
; Built by scripts/windows-installer.sh through packaging/windows/pack.sh, which stages the install
; components and passes:
;   QX_VERSION     the project's version
;   QX_OUTFILE     the installer to write
;   QX_FILES       an include file with the macros QxInstallLibrary, QxInstallApplication,
;                  QxInstallDevelopment and QxUninstallFiles, made from the staged files, so that the
;                  uninstaller removes exactly what an installer of this version put there
;   QX_SERVICE     defined when the staged files hold bin\qxmover.exe
;   QX_WINDOW      defined when they also hold bin\qxmover-window.exe
;
; Silent use: setup.exe /S [/D=C:\dir] installs every default component; uninstall.exe /S removes
; them again.

Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma
RequestExecutionLevel admin
ManifestDPIAware true

!ifndef QX_VERSION | QX_OUTFILE | QX_FILES
  !error "QX_VERSION, QX_OUTFILE and QX_FILES must be defined (run scripts/windows-installer.sh)"
!endif
!include "${QX_FILES}"

!define QX_NAME "qxmover"
!define QX_PUBLISHER "qxmover developers"
!define QX_UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\qxmover"
!define QX_SHORTCUT "$SMSTARTUP\qxmover.lnk"

Name "${QX_NAME} ${QX_VERSION}"
OutFile "${QX_OUTFILE}"
InstallDir "$PROGRAMFILES64\qxmover"
InstallDirRegKey HKLM "${QX_UNINSTALL_KEY}" "InstallLocation"
ShowInstDetails show
ShowUninstDetails show

Page components
Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

Function .onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Function un.onInit
  SetRegView 64
  SetShellVarContext all
FunctionEnd

Section "qxmover (class library, language files, service)" SecMain
  SectionIn RO
  !insertmacro QxInstallLibrary
  !insertmacro QxInstallApplication
  SetOutPath "$INSTDIR"
  WriteUninstaller "$INSTDIR\uninstall.exe"
  WriteRegStr HKLM "${QX_UNINSTALL_KEY}" "DisplayName" "${QX_NAME}"
  WriteRegStr HKLM "${QX_UNINSTALL_KEY}" "DisplayVersion" "${QX_VERSION}"
  WriteRegStr HKLM "${QX_UNINSTALL_KEY}" "Publisher" "${QX_PUBLISHER}"
  WriteRegStr HKLM "${QX_UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
  WriteRegStr HKLM "${QX_UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\uninstall.exe"'
  WriteRegStr HKLM "${QX_UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\uninstall.exe" /S'
  WriteRegDWORD HKLM "${QX_UNINSTALL_KEY}" "NoModify" 1
  WriteRegDWORD HKLM "${QX_UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Development files (headers, import library, CMake package)" SecDevelopment
  !insertmacro QxInstallDevelopment
SectionEnd

!ifdef QX_SERVICE
!ifdef QX_WINDOW
  !define QX_LOGON_PROGRAM "$INSTDIR\bin\qxmover-window.exe"
!else
  !define QX_LOGON_PROGRAM "$INSTDIR\bin\qxmover.exe"
!endif
; The program starts at every log-on from the common Startup folder (one entry). Its working directory
; is the installation directory: paths of the INI files that begin with "\" lie on that directory's
; drive.
Section "Start qxmover at log-on" SecLogon
  SetOutPath "$INSTDIR"
  CreateShortcut "${QX_SHORTCUT}" "${QX_LOGON_PROGRAM}" "" "${QX_LOGON_PROGRAM}" 0
SectionEnd
!endif

Section "Uninstall"
  Delete "${QX_SHORTCUT}"
  !insertmacro QxUninstallFiles
  Delete "$INSTDIR\uninstall.exe"
  DeleteRegKey HKLM "${QX_UNINSTALL_KEY}"
  ; Only an empty directory goes: files that others put there stay, and so does the directory.
  RMDir "$INSTDIR"
SectionEnd
