// Late binding from JScript: cscript //nologo smoke.js VERSION. The last
// line is the summary; the exit code is the number of failed checks.
var passed = 0, failed = 0;

function check(name, call, expected) {
    var got;
    try {
        got = "" + call();
    } catch (e) {
        got = "error " + (e.number >>> 0).toString(16) + " " + e.description;
    }
    if (got === expected) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAIL: " + name + ": got " + got + ", expected " + expected);
    }
}

var crypter = new ActiveXObject("Zarnocrypt.Crypter"), other = new ActiveXObject("Zarnocrypt.Crypter");
check("GetVersionString", function () { return crypter.GetVersionString(); }, WScript.Arguments(0));
check("EncryptEx without a key", function () { return crypter.EncryptEx("abc"); },
      "error 80040197 Key has not been set.");
crypter.SetKey("script key");
other.SetKey("script key");
check("MultilineEncrypt and Decrypt", function () { return other.decrypt(crypter.MultilineEncrypt("\u65e5 \u00e9")); },
      "? \u00e9");
check("Decrypt of a damaged text", function () { return crypter.Decrypt("[ZQV]Y\nAAAAAAAAAAAA[/ZQV]"); },
      "error 80040065 Encryption code damaged or type wrong");
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
