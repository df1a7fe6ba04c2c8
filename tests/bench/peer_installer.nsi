; The peer's installer for the bench: the same files as a silent install of
; ours leaves in the pages folder, the same shortcut and the same key values
; that name the book, nothing else. makensis -DCOMPRESSOR=lzma|zlib
; -DFILES=folder -DOUT=file builds it solid with that compressor; an empty
; folder gives the installer without files, its stub. -DTARGET=amd64-unicode
; builds the 64-bit program (the default is x86-unicode, 32-bit).
;
; It is silent unless -DWIZARD is given: then it shows the folder page and the
; install page, and its window closes itself once the install is done, so
; that the time from the Install button to the close can be measured.
Unicode true
!ifdef TARGET
Target ${TARGET}
!endif
SetCompressor /SOLID ${COMPRESSOR}
Name "The Tolm Language"
OutFile "${OUT}"
RequestExecutionLevel admin
!if ${NSIS_PTR_SIZE} > 4
InstallDir "$PROGRAMFILES64\Corvalin"
!else
InstallDir "$PROGRAMFILES\Corvalin"
!endif
!ifdef WIZARD
AutoCloseWindow true
Page directory
Page instfiles
!else
SilentInstall silent
!endif

Section
  SetOutPath "$INSTDIR"
  File /nonfatal /r "${FILES}/*.*"
  CreateDirectory "$DESKTOP\Tolm"
  CreateShortcut "$DESKTOP\Tolm\The Tolm Language.lnk" "$INSTDIR\index.htm"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun" "DisplayName" "The Tolm Language"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun" "UninstallString" '"$INSTDIR\Kestrun.exe"'
SectionEnd
