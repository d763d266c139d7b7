// Late binding from JScript: cscript //nologo smoke.js. The last
// line is the summary; the exit code is the number of failed checks.
var passed = 0, failed = 0, crypter = new ActiveXObject("Zarnocrypt.Crypter");

function check(call, expected) {
    var got;
    try { got = "" + call(); } catch (e) { got = "error " + (e.number >>> 0).toString(16) + " " + e.description; }
    if (got === expected) passed++; else failed++, WScript.Echo("FAIL: got " + got + ", expected " + expected);
}

check(function () { return crypter.EncryptEx("abc"); }, "error 80040197 Key has not been set.");
crypter.SetKey("script key");
check(function () { return crypter.decrypt(crypter.MultilineEncrypt("\u65e5 \u00e9")); }, "? \u00e9");
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
