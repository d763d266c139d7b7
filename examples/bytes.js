// Bytes from JScript. JScript cannot make a Byte() array itself, but
// EncryptBytes also takes an array of variants holding numbers 0 to 255, which
// Scripting.Dictionary's Items() makes of a JScript array. On Windows VBArray
// turns a Byte() result into a JScript array; Wine's JScript reads only arrays
// of variants so, and there a script holds a Byte() and hands it on.
// IsEncrypted tells a marked text from any other without a key.
// Run with: cscript //nologo bytes.js
var crypter = new ActiveXObject("Zarnocrypt.Crypter");
crypter.SetKey("correct horse");

function fail(what) {
    WScript.Echo("FAILED: " + what);
    WScript.Quit(1);
}

function toVariantArray(numbers) {
    var dictionary = new ActiveXObject("Scripting.Dictionary");
    for (var i = 0; i < numbers.length; i++)
        dictionary.Add("" + i, numbers[i]);
    return dictionary.Items();
}

// The numbers of a Byte() array, or null where VBArray cannot read one.
function readBytes(bytes) {
    try {
        return new VBArray(bytes).toArray();
    } catch (e) {
        return null;
    }
}

function hex(numbers) {
    var digits = [];
    for (var i = 0; i < numbers.length; i++)
        digits.push((numbers[i] < 16 ? "0" : "") + numbers[i].toString(16));
    return digits.join(" ");
}

var data = [0x5a, 0x71, 0x76, 0x00, 0xff, 0x0a];
var envelope = crypter.EncryptBytes(toVariantArray(data));
// Only the intact envelope of this key decrypts, so the Byte() came back whole.
var plain = crypter.DecryptBytes(envelope);
var numbers = readBytes(plain);
if (numbers === null) {
    WScript.Echo("EncryptBytes(" + hex(data) + "), then DecryptBytes: a Byte() array this host cannot read");
} else {
    WScript.Echo("EncryptBytes(" + hex(data) + "), then DecryptBytes: " + hex(numbers));
    if (hex(numbers) !== hex(data))
        fail("the bytes did not come back");
}
crypter.DecryptBytes(crypter.EncryptBytes(plain));
WScript.Echo("The Byte() array encrypts and decrypts again.");

var refusal = "none";
try {
    crypter.EncryptBytes(data);  // a JScript array is an object, not an array of bytes
} catch (e) {
    refusal = "error " + (e.number >>> 0).toString(16) + " " + e.description;
}
WScript.Echo("EncryptBytes of a JScript array: " + refusal);
if (refusal !== "error 8004019c Input must be an array of bytes.")
    fail("a JScript array was not refused");

var marked = crypter.Encrypt("Meet me at noon.");
var answers = [crypter.IsEncrypted(marked), crypter.IsEncrypted("\r\n" + marked + "\r\n"),
               crypter.IsEncrypted("Meet me at noon.")];
WScript.Echo("IsEncrypted of the marked text, of it between line ends, of plain text: " + answers.join(", "));
if (answers.join() !== "true,true,false")
    fail("IsEncrypted answered " + answers.join());

WScript.Echo("All steps succeeded.");
