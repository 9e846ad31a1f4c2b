; Orlenta's Windows installer, built by scripts/package with makensis:
;   makensis -DVERSION=x.y.z -DEXE=<Orlenta.exe> -DCHECK=<OrlentaCheck.exe> -DMAP=<OrlentaMap.exe> -DGUIDE=<guide> -DICON=<Orlenta.ico> -DOUTFILE=<setup.exe> Orlenta.nsi
; Installs for all users into Program Files, Start menu shortcuts to Orlenta
; and to the map ("Карта IVR"), an
; uninstaller registered in Programs and Features. /S installs silently.
Unicode true
Target amd64-unicode
SetCompressor /SOLID lzma

!define PRODUCT "Orlenta"
!define PUBLISHER "Orlenta"
!define MAP_SHORTCUT "Карта IVR"
!define UNINSTALL_KEY "Software\Microsoft\Windows\CurrentVersion\Uninstall\${PRODUCT}"

Name "${PRODUCT} ${VERSION}"
OutFile "${OUTFILE}"
Icon "${ICON}"
UninstallIcon "${ICON}"
InstallDir "$PROGRAMFILES64\${PRODUCT}"
RequestExecutionLevel admin
ShowInstDetails nevershow
ShowUninstDetails nevershow

VIProductVersion "${VERSION}.0"
VIAddVersionKey /LANG=1049 "ProductName" "${PRODUCT}"
VIAddVersionKey /LANG=1049 "ProductVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileVersion" "${VERSION}"
VIAddVersionKey /LANG=1049 "FileDescription" "Установка ${PRODUCT}"
VIAddVersionKey /LANG=1049 "CompanyName" "${PUBLISHER}"
VIAddVersionKey /LANG=1049 "LegalCopyright" "© 2026 ${PUBLISHER}"

Page directory
Page instfiles
UninstPage uninstConfirm
UninstPage instfiles

LoadLanguageFile "${NSISDIR}\Contrib\Language files\Russian.nlf"

Section "Install"
    SetShellVarContext all
    SetRegView 64
    SetOutPath "$INSTDIR"
    File "${EXE}"
    File "${CHECK}"
    File "${MAP}"
    File "${GUIDE}"
    WriteUninstaller "$INSTDIR\Uninstall.exe"
    CreateShortcut "$SMPROGRAMS\${PRODUCT}.lnk" "$INSTDIR\Orlenta.exe"
    CreateShortcut "$SMPROGRAMS\${MAP_SHORTCUT}.lnk" "$INSTDIR\OrlentaMap.exe"

    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayName" "${PRODUCT}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayVersion" "${VERSION}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "Publisher" "${PUBLISHER}"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "DisplayIcon" "$INSTDIR\Orlenta.exe,0"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "InstallLocation" "$INSTDIR"
    WriteRegStr HKLM "${UNINSTALL_KEY}" "UninstallString" '"$INSTDIR\Uninstall.exe"'
    WriteRegStr HKLM "${UNINSTALL_KEY}" "QuietUninstallString" '"$INSTDIR\Uninstall.exe" /S'
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoModify" 1
    WriteRegDWORD HKLM "${UNINSTALL_KEY}" "NoRepair" 1
SectionEnd

Section "Uninstall"
    SetShellVarContext all
    SetRegView 64
    Delete "$SMPROGRAMS\${PRODUCT}.lnk"
    Delete "$SMPROGRAMS\${MAP_SHORTCUT}.lnk"
    Delete "$INSTDIR\Orlenta.exe"
    Delete "$INSTDIR\OrlentaCheck.exe"
    Delete "$INSTDIR\OrlentaMap.exe"
    Delete "$INSTDIR\Orlenta-guide-ru.html"
    Delete "$INSTDIR\Uninstall.exe"
    RMDir "$INSTDIR"
    DeleteRegKey HKLM "${UNINSTALL_KEY}"
SectionEnd
