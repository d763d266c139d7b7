// Late binding from JScript: cscript //nologo smoke.js VERSION. The last
// line is the summary; the exit code is the number of failed checks.
var passed = 0, failed = 0;

function check(name, call, expected, number, description) {
    var got;
    try {
        got = "" + call();
    } catch (e) {
        got = "error " + (e.number >>> 0).toString(16) + " " + e.description;
    }
    var want = number ? "error " + number.toString(16) + " " + description : expected;
    if (got === want) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAIL: " + name + ": got " + got + ", expected " + want);
    }
}

var crypter = new ActiveXObject("Zarnocrypt.Crypter"), other = new ActiveXObject("Zarnocrypt.Crypter");
check("GetVersionString", function () { return crypter.GetVersionString(); }, WScript.Arguments(0));
check("Decrypt of unmarked text without a key", function () { return crypter.decrypt("abc"); }, "abc");
check("EncryptEx without a key", function () { return crypter.EncryptEx("abc"); }, "", 0x80040197,
      "Key has not been set.");
crypter.SetKey("script key");
other.SetKey("script key");
var plain = "\u65e5 outside code page 1252, \u00e9 inside";
check("MultilineEncrypt and Decrypt", function () { return other.Decrypt(crypter.MultilineEncrypt(plain)); },
      "? outside code page 1252, \u00e9 inside");
check("Decrypt of a damaged text", function () { return crypter.Decrypt("[ZQV]Y\nAAAAAAAAAAAA[/ZQV]"); }, "",
      0x80040065, "Encryption code damaged or type wrong");
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
