// Drives the control through the Windows Script Host as a page's script would. Prints one
// "label=answer" line per call ("label=error <code>" when the call throws) and "END" last: the
// host ends a script silently on an uncaught error, so the runner checks that END came.
//   cscript //nologo ControlScript.js <install parameter> <class disabled in the browser>
function show(label, call) {
  var answer;
  try {
    answer = String(call());
  } catch (e) {
    answer = "error " + (e.number >>> 0).toString(16);
  }
  WScript.Echo(label + "=" + answer);
}

try {
  var param = WScript.Arguments(0);
  var killed = WScript.Arguments(1);
  var unc = "\\\\127.0.0.1\\C$\\windows\\system32\\VelSetupCtlScript.dll";
  var ctl = new ActiveXObject("VelSetup.VelSetupCtrl");

  show("IsLoaded", function () { return ctl.IsLoaded(); });
  show("GetStatus.idle", function () { return ctl.GetStatus(); });
  show("InstallParam.empty", function () { ctl.InstallParam = ""; return "set"; });
  show("InstallParam.read", function () { return ctl.InstallParam; });
  show("TestMode", function () { ctl.TestMode = 1; return "set"; });
  show("CheckObjInstall.registered", function () { return ctl.CheckObjInstall("DC5A1831-DD51-47DC-B476-D9BB6A135C13"); });
  show("CheckObjInstall.unregistered", function () { return ctl.CheckObjInstall("12345678-1234-1234-1234-123456789ABC"); });
  show("CheckObjInstall.malformed", function () { return ctl.CheckObjInstall("zzzzzzzz-zzzz-zzzz-zzzz-zzzzzzzzzzzz"); });
  show("CheckObjInstall.killed", function () { return ctl.CheckObjInstall(killed); });
  show("CheckObjInstall.braces", function () { return ctl.CheckObjInstall("{DC5A1831-DD51-47DC-B476-D9BB6A135C13}"); });
  show("CheckObjInstall.empty", function () { return ctl.CheckObjInstall(""); });
  show("GetFileVersion", function () { return ctl.GetFileVersion("[system]VelSetupCtlScript.dll"); });
  show("GetFileVersion.missing", function () { return ctl.GetFileVersion("[SYSTEM]Missing.dll"); });
  show("GetFileVersion.unc", function () { return ctl.GetFileVersion(unc); });
  show("GetFileVersion.device", function () { return ctl.GetFileVersion("//?/C:/windows/system32/VelSetupCtlScript.dll"); });
  show("GetFileVersion.empty", function () { return ctl.GetFileVersion(""); });
  show("CheckUpdate.equal", function () { return ctl.CheckUpdate("[SYSTEM]VelSetupCtlScript.dll", "1,0,0,10"); });
  show("CheckUpdate.newer", function () { return ctl.CheckUpdate("[SYSTEM]/VelSetupCtlScript.dll", "1,0,0,9"); });
  show("CheckUpdate.older", function () { return ctl.CheckUpdate("[SYSTEM]VelSetupCtlScript.dll", "1, 0, 0, 11"); });
  show("CheckUpdate.missing", function () { return ctl.CheckUpdate("[SYSTEM]Missing.dll", "1,0,0,0"); });
  show("CheckUpdate.unc", function () { return ctl.CheckUpdate(unc, "0,0,0,1"); });
  show("CheckUpdate.empty", function () { return ctl.CheckUpdate("[SYSTEM]VelSetupCtlScript.dll", ""); });
  show("InstallParam", function () { ctl.InstallParam = param; return "set"; });
  show("WaitUpdate", function () { return ctl.WaitUpdate(); });
  show("GetStatus.after", function () { return ctl.GetStatus(); });
  show("StartUpdate", function () { return ctl.StartUpdate(); });
  show("GetStatus.started", function () { return ctl.GetStatus(); });
} catch (e) {
  WScript.Echo("uncaught=" + (e.number >>> 0).toString(16));
}
WScript.Echo("END");
