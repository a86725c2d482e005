; Put before CPack's NSIS script (packaging/CMakeLists.txt): what must come first.

; A 64-bit installer: the programs are 64-bit, and so is the registry view it writes.
Target amd64-unicode

!include FileFunc.nsh

; The first section to run: /SIMULATOR on the command line selects the simulator, also
; in a silent install (/S). The section is found by its caption: its index is defined
; only further down.
Section "-Options from the command line"
  ${GetOptions} $CMDLINE "/SIMULATOR" $0
  IfErrors options_done
  StrCpy $1 0
  options_next:
    ClearErrors
    SectionGetText $1 $2
    IfErrors options_done
    StrCmp $2 "Tuner simulator" 0 options_skip
      SectionGetFlags $1 $3
      IntOp $3 $3 | 1
      SectionSetFlags $1 $3
    options_skip:
    IntOp $1 $1 + 1
    Goto options_next
  options_done:
SectionEnd

; CPack's uninstaller removes the product's key below the maker's; the maker's key goes
; too once no other product of the maker is left in it.
Function un.onUninstSuccess
  DeleteRegKey /ifempty SHCTX "Software\@OMBREL_COMPANY@"
FunctionEnd

