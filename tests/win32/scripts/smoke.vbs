' Late binding from VBScript: cscript //nologo smoke.vbs VERSION. The last
' line is the summary; the exit code is the number of failed checks.
Option Explicit
On Error Resume Next  ' every call is checked right after it
Dim passed, failed, crypter, marked
passed = 0
failed = 0

Sub Check(name, condition)
    If Err.Number = 0 And condition Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAIL: " & name & ": error " & Hex(Err.Number) & " """ & Err.Description & """ from " & Err.Source
    End If
    Err.Clear
End Sub

Set crypter = CreateObject("Zarnocrypt.Crypter")
Check "GetVersionString", crypter.getversionstring() = WScript.Arguments(0)
crypter.SetKey "script key"
marked = crypter.HtmlEncrypt("caf" & Chr(233))
Check "HtmlEncrypt and Decrypt", crypter.Decrypt(marked) = "caf" & Chr(233)
' A small number arrives as VT_I2 and is converted to text.
Check "number argument", crypter.decrypt(crypter.encrypt(12345)) = "12345"
WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
