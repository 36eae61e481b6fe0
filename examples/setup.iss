; A product's setup calling InstDLL.dll as the family's setup programs do, in Inno Setup 6.
; Build with
;   ISCC /DINSTDLL=path\to\InstDLL.dll /Ooutput-folder /Fsetup setup.iss
; around the 32-bit DLL: Inno Setup's setups are 32-bit programs. Run with /VERYSILENT
; /SUPPRESSMSGBOXES for the silent setup. Every call's result goes to setup-results.txt beside the
; setup program, worded as examples/setup.nsi words it. Strings cross to the DLL as ANSI
; (AnsiString parameters); the DLL stays loaded from the setup's start to its end.
#ifndef INSTDLL
  #define INSTDLL "InstDLL.dll"
#endif

[Setup]
AppName=Zk Suite
AppVersion=7.5
DefaultDirName=C:\Program Files\Zk\Suite
PrivilegesRequired=admin
Uninstallable=no
DisableProgramGroupPage=yes
OutputBaseFilename=setup

[Files]
; Extracted to the setup's temporary folder for the calls below, never installed.
Source: "{#INSTDLL}"; DestDir: "{tmp}"; Flags: dontcopy

[Code]
// No line here starts with "[": the compiler would take it for a section.
const
  ProductArguments = 'CORE';
  ProductTitleValue = 'Zk Suite 7.5';
  ProductTitle = 'Zk Suite';
  ProductKey = 'SOFTWARE\Zk\Zkv7\7.5';
  LogFileNameSize = 256;

function CheckPrivileges(): Integer;
  external 'CheckPrivileges@files:InstDLL.dll stdcall';
function InitV7Info(): Integer;
  external 'InitV7Info@files:InstDLL.dll stdcall';
// The DLL writes the log file's name into the caller's buffer of LogFileNameSize bytes.
function FindISUInCatalog(Directory: AnsiString; LogFileName: AnsiString): Integer;
  external 'FindISUInCatalog@files:InstDLL.dll stdcall';
function RemoveAllInCatExcept(Directory: AnsiString; ArgumentsToKeep: AnsiString): Integer;
  external 'RemoveAllInCatExcept@files:InstDLL.dll stdcall';
function RegDBAddToTitles(ValueName: AnsiString; Title: AnsiString): Integer;
  external 'RegDBAddToTitles@files:InstDLL.dll stdcall';
function RegDBDeleteValue(SubKey: AnsiString; ValueName: AnsiString): Integer;
  external 'RegDBDeleteValue@files:InstDLL.dll stdcall';

procedure Report(Line: String);
begin
  SaveStringToFile(ExpandConstant('{src}\setup-results.txt'), Line + #13#10, True);
  Log(Line);
end;

// The text before the first zero of a buffer the DLL filled.
function CutAtZero(Buffer: AnsiString): AnsiString;
var
  Zero: Integer;
begin
  Result := Buffer;
  Zero := Pos(#0, Buffer);
  if Zero > 0 then
    Result := Copy(Buffer, 1, Zero - 1);
end;

procedure CallInstDLL();
var
  Directory: AnsiString;
  LogFileName: AnsiString;
  Answer: Integer;
begin
  DeleteFile(ExpandConstant('{src}\setup-results.txt'));
  // The directory as the DLL compares it: with its trailing backslash.
  Directory := AddBackslash(ExpandConstant('{app}'));

  Report(Format('CheckPrivileges() = %d', [CheckPrivileges()]));
  Report(Format('InitV7Info() = %d', [InitV7Info()]));

  LogFileName := StringOfChar(#0, LogFileNameSize);
  Answer := FindISUInCatalog(Directory, LogFileName);
  Report(Format('FindISUInCatalog("%s") = %d, log file "%s"', [Directory, Answer,
    CutAtZero(LogFileName)]));

  Answer := RemoveAllInCatExcept(Directory, ProductArguments);
  Report(Format('RemoveAllInCatExcept("%s", "%s") = %d', [Directory, ProductArguments, Answer]));

  Answer := RegDBAddToTitles(ProductTitleValue, ProductTitle);
  Report(Format('RegDBAddToTitles("%s", "%s") = %d', [ProductTitleValue, ProductTitle, Answer]));

  Answer := RegDBDeleteValue(ProductKey, 'PendingReboot');
  Report(Format('RegDBDeleteValue("%s", "PendingReboot") = %d', [ProductKey, Answer]));
end;

// The family's records are settled before this product's files go in.
procedure CurStepChanged(CurStep: TSetupStep);
begin
  if CurStep = ssInstall then
    CallInstDLL();
end;
