// The demo page's script: creates the control by its ProgID, hands it the install parameter,
// starts the setup manager and polls GetStatus until the run has ended, printing each new status
// as a page would show it. The Script Host ends a script silently on an uncaught error, so every
// error is printed and "END <status>" comes last.
//   cscript //nologo DemoPage.js <install parameter>
var finals = { 90: 1, 91: 1, 100: 1, 101: 1, 103: 1 };
var status = -1;
try {
  var ctl = new ActiveXObject("VelSetup.VelSetupCtrl");
  WScript.Echo("page: control loaded (IsLoaded " + ctl.IsLoaded() + ")");
  ctl.InstallParam = WScript.Arguments(0);
  status = ctl.StartUpdate();
  WScript.Echo("page: StartUpdate " + status);
  // The host has no WScript.Sleep here: the page waits by the clock between two polls.
  for (var deadline = new Date().getTime() + 600000; status === 0 || !finals[status];) {
    if (new Date().getTime() > deadline) throw new Error("no final status within ten minutes");
    var now = ctl.GetStatus();
    if (now !== status) WScript.Echo("page: GetStatus " + now);
    status = now;
    for (var until = new Date().getTime() + 50; new Date().getTime() < until;) {}
  }
} catch (e) {
  WScript.Echo("page: error " + (e.number >>> 0).toString(16) + " " + e.message);
}
WScript.Echo("END " + status);
