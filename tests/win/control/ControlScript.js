// Drives the control through the Windows Script Host by its ProgID, as a page's script would.
// Each row is a label, the answer wanted ("error <code>" when the call must throw) and the call.
// Prints "ok"/"FAIL" per row and "END <rows>" last: the host ends a script silently on an
// uncaught error, so the runner checks that END came.
//   cscript //nologo ControlScript.js <system folder without its last backslash> <install parameter> <class disabled in the browser> <fixtures folder>
var system = WScript.Arguments(0), param = WScript.Arguments(1), killed = WScript.Arguments(2);
var fixtures = WScript.Arguments(3) + "\\";
var dll = system + "\\VelSetupCtlTest.dll";  // a copy of the control, version 1,0,0,10
var control = "DC5A1831-DD51-47DC-B476-D9BB6A135C13";
var invalid = "error 80070057";
function repeat(text, count) { return new Array(count + 1).join(text); }
// Fits before expansion, not after: cut to 259 bytes it would name the copy in the system folder.
var grows = "[DOWNLOADED]..\\system32\\VelSetupCtlTest.dll";
grows += repeat(" ", 259 - grows.length);

var ctl;
var rows = [
  ["create", "ok", function () { ctl = new ActiveXObject("VelSetup.VelSetupCtrl"); return "ok"; }],
  ["IsLoaded", "1", function () { return ctl.IsLoaded(); }],
  ["GetStatus idle", "0", function () { return ctl.GetStatus(); }],
  ["InstallParam empty", invalid, function () { ctl.InstallParam = ""; }],
  ["InstallParam 4095 bytes", "undefined", function () { ctl.InstallParam = repeat("a", 4095); }],
  ["InstallParam 4096 bytes", invalid, function () { ctl.InstallParam = repeat("a", 4096); }],
  ["InstallParam 4095 Korean bytes", "undefined", function () { ctl.InstallParam = repeat("\uAC00", 2047) + "a"; }],
  ["InstallParam 4096 Korean bytes", invalid, function () { ctl.InstallParam = repeat("\uAC00", 2048); }],
  ["InstallParam NUL", invalid, function () { ctl.InstallParam = "<PARAM>\0</PARAM>"; }],
  ["InstallParam not in code page", invalid, function () { ctl.InstallParam = "<PARAM>\uFF02\uD83D\uDE00</PARAM>"; }],
  ["InstallParam read", "error 80020003", function () { return ctl.InstallParam; }],
  ["TestMode", "undefined", function () { ctl.TestMode = -7; }],
  ["CheckObjInstall registered", "1", function () { return ctl.CheckObjInstall(control); }],
  ["CheckObjInstall lower case", "1", function () { return ctl.CheckObjInstall(control.toLowerCase()); }],
  ["CheckObjInstall unregistered", "0", function () { return ctl.CheckObjInstall("12345678-1234-1234-1234-123456789ABC"); }],
  ["CheckObjInstall malformed", "2", function () { return ctl.CheckObjInstall("zzzzzzzz-zzzz-zzzz-zzzz-zzzzzzzzzzzz"); }],
  ["CheckObjInstall program id", "2", function () { return ctl.CheckObjInstall("VelSetup.VelSetupCtrl"); }],
  ["CheckObjInstall 36 Korean bytes", "2", function () { return ctl.CheckObjInstall(repeat("\uAC00", 18)); }],
  ["CheckObjInstall killed", "0", function () { return ctl.CheckObjInstall(killed); }],
  ["CheckObjInstall braces", invalid, function () { return ctl.CheckObjInstall("{" + control + "}"); }],
  ["CheckObjInstall 72 Korean bytes", invalid, function () { return ctl.CheckObjInstall(repeat("\uAC00", 36)); }],
  ["CheckObjInstall NUL", invalid, function () { return ctl.CheckObjInstall(control + "\0"); }],
  ["CheckObjInstall empty", invalid, function () { return ctl.CheckObjInstall(""); }],
  ["GetFileVersion", "1,0,0,10", function () { return ctl.GetFileVersion("[system]velsetupctltest.dll"); }],
  ["GetFileVersion windows", "1,0,0,10", function () { return ctl.GetFileVersion("[Windows]\\VelSetupCtlTest.dll"); }],
  ["GetFileVersion two separators", "1,0,0,10", function () { return ctl.GetFileVersion("[SYSTEM]/VelSetupCtlTest.dll"); }],
  ["GetFileVersion no resource", "0,0,0,0", function () { return ctl.GetFileVersion("[SYSTEM]VelSetupCtlTest.txt"); }],
  ["GetFileVersion missing", "0,0,0,0", function () { return ctl.GetFileVersion("[SYSTEM]\uAC00\uB098.dll"); }],
  ["GetFileVersion UNC", "0,0,0,0", function () { return ctl.GetFileVersion("\\\\127.0.0.1\\C$\\windows\\system32\\VelSetupCtlTest.dll"); }],
  ["GetFileVersion \\\\?\\", "0,0,0,0", function () { return ctl.GetFileVersion("\\\\?\\" + dll); }],
  ["GetFileVersion //?/", "0,0,0,0", function () { return ctl.GetFileVersion("//?/" + dll.replace(/\\/g, "/")); }],
  ["GetFileVersion \\\\.\\", "0,0,0,0", function () { return ctl.GetFileVersion("\\\\.\\" + dll); }],
  ["GetFileVersion \\??\\", "0,0,0,0", function () { return ctl.GetFileVersion("\\??\\" + dll); }],
  ["GetFileVersion device", "0,0,0,0", function () { return ctl.GetFileVersion("[SYSTEM]NUL"); }],
  ["GetFileVersion overlong", "0,0,0,0", function () { return ctl.GetFileVersion(dll + repeat(" ", 300)); }],
  ["GetFileVersion grows too long", "0,0,0,0", function () { return ctl.GetFileVersion(grows); }],
  ["GetFileVersion NUL", "0,0,0,0", function () { return ctl.GetFileVersion(dll + "\0"); }],
  ["GetFileVersion empty", invalid, function () { return ctl.GetFileVersion(""); }],
  ["GetFileVersion fixture", "1,2,3,4", function () { return ctl.GetFileVersion(fixtures + "version_1_2_3_4.dll"); }],
  ["GetFileVersion bad signature", "0,0,0,0", function () { return ctl.GetFileVersion(fixtures + "bad_signature.dll"); }],
  ["GetFileVersion short fixed part", "0,0,0,0", function () { return ctl.GetFileVersion(fixtures + "short_fixed_info.dll"); }],
  ["GetFileVersion past the root block", "0,0,0,0", function () { return ctl.GetFileVersion(fixtures + "truncated_root.dll"); }],
  ["CheckUpdate equal", "0", function () { return ctl.CheckUpdate("[SYSTEM]VelSetupCtlTest.dll", "1,0,0,10"); }],
  ["CheckUpdate newer", "0", function () { return ctl.CheckUpdate(dll, "1,0,0,9"); }],
  ["CheckUpdate older", "1", function () { return ctl.CheckUpdate(dll, "1, 0, 0, 11"); }],
  ["CheckUpdate one part repeats", "1", function () { return ctl.CheckUpdate(dll, "1"); }],
  ["CheckUpdate two parts", "0", function () { return ctl.CheckUpdate(dll, "0,9"); }],
  ["CheckUpdate no resource", "1", function () { return ctl.CheckUpdate("[SYSTEM]VelSetupCtlTest.txt", "0,0,0,0"); }],
  ["CheckUpdate missing", "1", function () { return ctl.CheckUpdate("[SYSTEM]Missing.dll", "1,0,0,0"); }],
  ["CheckUpdate UNC", "1", function () { return ctl.CheckUpdate("//127.0.0.1/C$/windows/system32/VelSetupCtlTest.dll", "0,0,0,1"); }],
  ["CheckUpdate \\\\?\\", "1", function () { return ctl.CheckUpdate("\\\\?\\" + dll, "0,0,0,1"); }],
  ["CheckUpdate overlong version", "1", function () { return ctl.CheckUpdate(dll, "0,0,0,1" + repeat(" ", 300)); }],
  ["CheckUpdate bad signature", "1", function () { return ctl.CheckUpdate(fixtures + "bad_signature.dll", "0,0,0,1"); }],
  ["CheckUpdate past the root block", "1", function () { return ctl.CheckUpdate(fixtures + "truncated_root.dll", "0,0,0,1"); }],
  ["CheckUpdate empty version", invalid, function () { return ctl.CheckUpdate(dll, ""); }],
  ["CheckUpdate empty name", invalid, function () { return ctl.CheckUpdate("", "1"); }],
  ["InstallParam", "undefined", function () { ctl.InstallParam = param; }],
  ["WaitUpdate failed run", "101", function () { return ctl.WaitUpdate(); }],
  ["GetStatus after", "101", function () { return ctl.GetStatus(); }],
  ["StartUpdate", "0", function () { return ctl.StartUpdate(); }],
  // The run may have queued 21 already.
  ["GetStatus started", /^2[01]$/, function () { return ctl.GetStatus(); }]
];

for (var i = 0; i < rows.length; ++i) {
  var answer;
  try {
    answer = String(rows[i][2]());
  } catch (e) {
    answer = "error " + (e.number >>> 0).toString(16);
  }
  var ok = typeof rows[i][1] === "string" ? answer === rows[i][1] : rows[i][1].test(answer);
  WScript.Echo((ok ? "ok " : "FAIL ") + rows[i][0] + ": " + answer + (ok ? "" : ", wanted " + rows[i][1]));
}
WScript.Echo("END " + rows.length);
