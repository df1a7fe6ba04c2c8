; The peer's installer for the bench: the same files as a silent install of
; ours leaves in the pages folder, the same shortcut and the same key values
; that name the book, nothing else. makensis -DCOMPRESSOR=lzma|zlib
; -DFILES=folder -DOUT=file builds it solid with that compressor; an empty
; folder gives the installer without files, its stub.
Unicode true
SetCompressor /SOLID ${COMPRESSOR}
Name "The Tolm Language"
OutFile "${OUT}"
RequestExecutionLevel admin
InstallDir "$PROGRAMFILES\Corvalin"
SilentInstall silent

Section
  SetOutPath "$INSTDIR"
  File /nonfatal /r "${FILES}/*.*"
  CreateDirectory "$DESKTOP\Tolm"
  CreateShortcut "$DESKTOP\Tolm\The Tolm Language.lnk" "$INSTDIR\index.htm"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun" "DisplayName" "The Tolm Language"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Kestrun" "UninstallString" '"$INSTDIR\Kestrun.exe"'
SectionEnd
