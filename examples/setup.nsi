; A product's setup calling InstDLL.dll as the family's setup programs do. Build with
;   makensis -DINSTDLL=path/to/InstDLL.dll -DOUTFILE=setup.exe [-DINTERACTIVE] setup.nsi
; and -DTARGET=x86-unicode around the 32-bit DLL (the default, amd64-unicode, takes the 64-bit one).
; Without -DINTERACTIVE it runs silently, with or without /S. Every call's result goes to
; setup-results.txt beside the setup program. Strings cross to the DLL as ANSI ("m" in the System
; plugin's call syntax).
!ifndef TARGET
    !define TARGET amd64-unicode
!endif
Target ${TARGET}
Name "Zk Suite"
OutFile "${OUTFILE}"
RequestExecutionLevel admin
InstallDir "C:\Program Files\Zk\Suite"
ShowInstDetails show
!ifndef INTERACTIVE
    ; Silent however it is started, as the customer's setup that support starts from a prompt.
    SilentInstall silent
!endif

!define PRODUCT_ARGUMENTS "CORE"
!define TITLE_VALUE "Zk Suite 7.5"
!define TITLE "Zk Suite"

Var Results

!macro Report text
    FileWrite $Results `${text}$\r$\n`
    DetailPrint `${text}`
!macroend

Section "Zk Suite"
    InitPluginsDir
    File "/oname=$PLUGINSDIR\InstDLL.dll" "${INSTDLL}"
    FileOpen $Results "$EXEDIR\setup-results.txt" w

    System::Call "$PLUGINSDIR\InstDLL::CheckPrivileges() i .r0"
    !insertmacro Report "CheckPrivileges() = $0"

    System::Call "$PLUGINSDIR\InstDLL::InitV7Info() i .r0"
    !insertmacro Report "InitV7Info() = $0"

!ifdef INTERACTIVE
    StrCpy $1 "$INSTDIR"
    System::Call "$PLUGINSDIR\InstDLL::SelectCatalogEng(m r1r1) i .r0"
    !insertmacro Report 'SelectCatalogEng("$INSTDIR") = $0, chosen "$1"'
    StrCmp $0 1 0 +2
        StrCpy $INSTDIR $1
!endif

    System::Call "$PLUGINSDIR\InstDLL::FindISUInCatalog(m '$INSTDIR\', m .r1) i .r0"
    !insertmacro Report 'FindISUInCatalog("$INSTDIR\") = $0, log file "$1"'

    System::Call "$PLUGINSDIR\InstDLL::RemoveAllInCatExcept(m '$INSTDIR\', m '${PRODUCT_ARGUMENTS}') i .r0"
    !insertmacro Report 'RemoveAllInCatExcept("$INSTDIR\", "${PRODUCT_ARGUMENTS}") = $0'

    System::Call "$PLUGINSDIR\InstDLL::RegDBAddToTitles(m '${TITLE_VALUE}', m '${TITLE}') i .r0"
    !insertmacro Report 'RegDBAddToTitles("${TITLE_VALUE}", "${TITLE}") = $0'

    System::Call "$PLUGINSDIR\InstDLL::RegDBDeleteValue(m 'SOFTWARE\Zk\Zkv7\7.5', m 'PendingReboot') i .r0"
    !insertmacro Report 'RegDBDeleteValue("SOFTWARE\Zk\Zkv7\7.5", "PendingReboot") = $0'

!ifdef INTERACTIVE
    CopyFiles /SILENT "$EXEPATH" "$PLUGINSDIR\launcher.exe"
    System::Call "$PLUGINSDIR\InstDLL::WriteUserParams(m '$PLUGINSDIR\launcher.exe', m 'Zk Suite', m '$INSTDIR') i .r0"
    !insertmacro Report 'WriteUserParams("launcher.exe", "Zk Suite", "$INSTDIR") = $0'
!endif

    FileClose $Results
SectionEnd
