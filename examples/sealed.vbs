' Sealed messages from VBScript: with Format = "Sealed", Encrypt, HtmlEncrypt,
' MultilineEncrypt, EncryptBytes and EncryptFile write authenticated messages,
' and Decrypt, DecryptBytes and DecryptFile read sealed and legacy ones alike.
' Each message is new, and one that was changed gives nothing back at all.
' Run with: cscript //nologo sealed.vbs [FILE]
' FILE is a text file; FILE.zqv holds what the zarnocrypt tool sealed of it:
'   zarnocrypt encrypt --sealed -k key.txt -o FILE.zqv FILE
' with "correct horse" in key.txt. The script checks that it decrypts to FILE
' and writes its own sealed text of FILE to FILE.sealed, which the tool reads:
'   zarnocrypt decrypt -k key.txt FILE.sealed
Option Explicit

Dim fso, crypter, legacy, text, marked, tampered, failure

Sub Expect(condition, what)
    If Not condition Then
        WScript.Echo "FAILED: " & what
        WScript.Quit 1
    End If
End Sub

' The number and message of the error that the last call raised, then cleared.
Function LastError()
    LastError = "error &H" & Hex(Err.Number) & " """ & Err.Description & """"
    Err.Clear
End Function

Set fso = CreateObject("Scripting.FileSystemObject")
Set crypter = CreateObject("Zarnocrypt.Crypter")
crypter.SetKey "correct horse"
WScript.Echo "Format = " & crypter.Format & " by default"
crypter.Format = "Sealed"

' The first message of a key text derives its key (tens of milliseconds); later ones reuse it.
text = "Pay 1,200.00 to account 42 on Friday."
marked = crypter.Encrypt(text)
WScript.Echo "Encrypt: " & Left(marked, 6) & "..." & Right(marked, 14) & " (" & Len(marked) & " characters)"
Expect crypter.Decrypt(marked) = text, "the text did not come back"
Expect crypter.Encrypt(text) <> marked, "two messages of the same text are alike"
WScript.Echo "Encrypting the same text again gives another message; both decrypt."

' One character of the message changed: refused, and no text comes back.
tampered = "A"
If Mid(marked, 67, 1) = "A" Then tampered = "B"
tampered = Left(marked, 66) & tampered & Mid(marked, 68)
Set legacy = CreateObject("Zarnocrypt.Crypter")
legacy.SetKey "correct horse"
On Error Resume Next
text = Empty
text = crypter.Decrypt(tampered)
failure = LastError()
WScript.Echo "Decrypt of a changed message: " & failure
Expect failure = "error &H80040198 ""Cannot decrypt data.""" And IsEmpty(text), "a changed message was taken"
' A reader in the legacy format, the default, refuses a sealed text.
text = legacy.Decrypt(marked)
failure = LastError()
WScript.Echo "Legacy Decrypt of a sealed text: " & failure
Expect failure = "error &H80040065 ""Encryption code damaged or type wrong""", "a legacy reader took a sealed text"
On Error GoTo 0
Expect legacy.IsEncrypted(marked), "IsEncrypted does not know a sealed text"

If WScript.Arguments.Count > 0 Then
    text = fso.OpenTextFile(WScript.Arguments(0)).ReadAll()
    ' What the tool writes ends in a line feed: Strict decryption ignores white space around it.
    crypter.Strict = True
    Expect crypter.Decrypt(fso.OpenTextFile(WScript.Arguments(0) & ".zqv").ReadAll()) = text, _
        "the tool's sealed text decrypts to another text"
    crypter.Strict = False
    WScript.Echo "The tool's sealed text of " & WScript.Arguments(0) & " decrypts to it."
    With fso.CreateTextFile(WScript.Arguments(0) & ".sealed", True)
        .Write crypter.Encrypt(text)
        .Close
    End With
End If

WScript.Echo "All steps succeeded."
