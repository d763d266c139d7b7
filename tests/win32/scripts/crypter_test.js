// Zarnocrypt.Crypter from JScript: late binding through IDispatch. Run by
// `cscript //nologo` against the registered DLL; the last line is the
// summary and the exit code is the number of failed checks.
var E_CRYPTER_CODE_DAMAGED = 0x80040065;
var E_CRYPTER_KEY_NOT_SET = 0x80040197;
var E_CRYPTER_DECRYPT_FAILED = 0x80040198;
// Wine's ITypeInfo::Invoke refuses to pass on the empty VT_ARRAY|VT_NULL
// answer of EncryptEx and DecryptEx for "no bytes": DISP_E_BADVARTYPE.
var DISP_E_BADVARTYPE = 0x80020008;

var passed = 0, failed = 0;

function check(name, condition) {
    if (condition) {
        passed++;
    } else {
        failed++;
        WScript.Echo("FAIL: " + name);
    }
}

// Runs call; it must succeed and its result satisfy test.
function expectResult(name, call, test) {
    try {
        check(name, test(call()));
    } catch (e) {
        check(name + ": error " + (e.number >>> 0).toString(16) + " " + e.description, false);
    }
}

function expectError(name, call, number, description) {
    try {
        call();
        check(name + ": no error", false);
    } catch (e) {
        check(name + ": got " + (e.number >>> 0).toString(16) + " \"" + e.description + "\"",
              (e.number >>> 0) === number && e.description === description);
    }
}

function newCrypter(key) {
    var crypter = new ActiveXObject("Zarnocrypt.Crypter");
    if (key) crypter.SetKey(key);
    return crypter;
}

function same(expected) { return function (actual) { return actual === expected; }; }

function main() {
    var empty = newCrypter("");
    expectResult("GetVersionString", function () { return empty.GetVersionString(); }, same("v2.1"));
    expectResult("getversionstring", function () { return empty.getversionstring(); }, same("v2.1"));
    expectResult("Decrypt of unmarked text without a key", function () { return empty.Decrypt("abc"); }, same("abc"));
    var keyless = ["Encrypt", "HtmlEncrypt", "MultilineEncrypt", "encrypt", "EncryptEx", "DecryptEx"];
    for (var i = 0; i < keyless.length; i++) {
        var method = keyless[i];
        expectError(method + " without a key", function () { return empty[method]("abc"); },
                    E_CRYPTER_KEY_NOT_SET, "Key has not been set.");
    }

    var mine = newCrypter("correct horse"), theirs = newCrypter("correct horse");
    var longText = "";
    for (i = 0; i < 12; i++) longText += "line " + i + " of a text long enough for several lines. ";
    var texts = ["abc", "", "caf\u00e9 au lait", longText];
    var forms = ["Encrypt", "HtmlEncrypt", "MultilineEncrypt", "htmlencrypt"];
    for (i = 0; i < texts.length; i++) {
        for (var f = 0; f < forms.length; f++) {
            var name = forms[f] + " \"" + texts[i].substring(0, 20) + "\"";
            var marked = null;
            expectResult(name + " is marked", function () { return marked = mine[forms[f]](texts[i]); },
                         function (m) { return m.indexOf("[ZQV]X") === 0 && m.slice(-6) === "[/ZQV]"; });
            expectResult(name + " decrypts", function () { return theirs.decrypt(marked); }, same(texts[i]));
        }
    }
    expectResult("MultilineEncrypt breaks long text into lines",
                 function () { return mine.MultilineEncrypt(longText).split("\n").length; },
                 function (lines) { return lines > 4; });
    expectResult("HtmlEncrypt holds a comment", function () { return mine.HtmlEncrypt("x"); },
                 function (m) { return m.indexOf("<!--") > 0 && m.indexOf("-->") > 0; });

    mine.setkey("lower case");
    var numberText = null;
    expectResult("a number argument becomes text", function () { return numberText = mine.encrypt(12345); },
                 function (m) { return mine.decrypt(m) === "12345"; });
    expectResult("Encrypt of a marked text returns it unchanged", function () { return mine.Encrypt(numberText); },
                 same(numberText));
    expectError("Decrypt with another key", function () { return theirs.Decrypt(numberText); },
                E_CRYPTER_DECRYPT_FAILED, "Cannot decrypt data.");
    expectError("Decrypt without a key", function () { return newCrypter("").Decrypt(numberText); },
                E_CRYPTER_KEY_NOT_SET, "Key not set.");
    expectError("Decrypt of a damaged text", function () { return theirs.Decrypt("[ZQV]Y\nAAAAAAAAAAAA[/ZQV]"); },
                E_CRYPTER_CODE_DAMAGED, "Encryption code damaged or type wrong");

    // Script arrays and strings are "no bytes": answered with VT_ARRAY|VT_NULL.
    var noBytes = [function () { return mine.EncryptEx([1, 2, 3]); }, function () { return mine.EncryptEx("text"); },
                   function () { return mine.decryptex("text"); }];
    for (i = 0; i < noBytes.length; i++) {
        try {
            var answer = noBytes[i]();
            check("no-bytes answer " + i + " is an empty array", typeof answer === "unknown");
        } catch (e) {
            check("no-bytes answer " + i + ": error " + (e.number >>> 0).toString(16),
                  (e.number >>> 0) === DISP_E_BADVARTYPE);
        }
    }

    mine.SetKey("");
    expectError("Encrypt after SetKey(\"\")", function () { return mine.Encrypt("abc"); },
                E_CRYPTER_KEY_NOT_SET, "Key has not been set.");
}

try {
    main();
} catch (e) {
    check("uncaught error " + (e.number >>> 0).toString(16) + " " + e.description, false);
}
WScript.Echo(passed + " passed, " + failed + " failed");
WScript.Quit(failed);
