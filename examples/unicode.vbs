' Unicode text from VBScript: with TextEncoding = "UTF-8" every character
' survives, where the ANSI code page turns what it lacks into "?". Strict
' decryption refuses what is not encrypted instead of passing it on.
' Run with: cscript //nologo unicode.vbs [MARKED]
' The texts come from unicode-texts.txt beside this script, saved as Unicode
' (UTF-16), which Scripting.FileSystemObject reads. MARKED names a file holding
' the marked text that the zarnocrypt tool made from the same texts in UTF-8:
'   zarnocrypt encrypt --utf8 -k key.txt -o MARKED texts-in-utf8.txt
' with "correct horse" in key.txt; it must decrypt to them.
Option Explicit

Const UNICODE_FILE = -1
Dim fso, crypter, ansi, texts, lines, text, marked, failure

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

Function ReadUnicode(path)
    With fso.OpenTextFile(path, 1, False, UNICODE_FILE)
        ReadUnicode = .ReadAll()
        .Close
    End With
End Function

Set fso = CreateObject("Scripting.FileSystemObject")
texts = ReadUnicode(fso.BuildPath(fso.GetParentFolderName(WScript.ScriptFullName), "unicode-texts.txt"))

Set crypter = CreateObject("Zarnocrypt.Crypter")
crypter.SetKey "correct horse"
' Set before or after SetKey: the key is derived again from the same key text.
crypter.TextEncoding = "UTF-8"
WScript.Echo "TextEncoding = " & crypter.TextEncoding

' The console shows only what its code page has, so the texts are counted, not printed.
lines = Split(texts, vbCrLf)
For Each text In lines
    marked = crypter.Encrypt(text)
    WScript.Echo Len(text) & " characters: " & Left(marked, 6) & "..." & Right(marked, 14)
    Expect crypter.Decrypt(marked) = text, "a text did not come back"
Next

If WScript.Arguments.Count > 0 Then
    marked = fso.OpenTextFile(WScript.Arguments(0)).ReadAll()
    ' What the tool writes ends in a line feed: Strict decryption ignores white space around it.
    crypter.Strict = True
    Expect crypter.Decrypt(marked) = texts, "the tool's marked text decrypts to other texts"
    WScript.Echo "The marked text from " & WScript.Arguments(0) & " decrypts to the same texts."
    crypter.Strict = False
End If

' The same texts in the ANSI code page, the default: Russian becomes question marks.
text = lines(1)
Set ansi = CreateObject("Zarnocrypt.Crypter")
ansi.SetKey "correct horse"
WScript.Echo "ANSI round trip of the Russian text: " & ansi.Decrypt(ansi.Encrypt(text))
On Error Resume Next
text = ansi.Decrypt(crypter.Encrypt(text))
failure = LastError()
WScript.Echo "ANSI Decrypt of a ""U"" text: " & failure
Expect failure = "error &H80040065 ""Encryption code damaged or type wrong""", "ANSI mode read a U text"

ansi.Strict = True
text = ansi.Encrypt(text)
failure = LastError()
WScript.Echo "Strict ANSI Encrypt of the Russian text: " & failure
Expect failure = "error &H8004019B ""Text has a character that the ANSI code page cannot represent.""", _
    "Strict let a character be replaced"

crypter.Strict = True
text = crypter.Decrypt("Meet me at noon.")
failure = LastError()
WScript.Echo "Strict Decrypt of plain text: " & failure
Expect failure = "error &H8004019A ""Text is not encrypted.""", "Strict passed plain text on"

crypter.TextEncoding = "UTF-16"
failure = LastError()
WScript.Echo "TextEncoding = ""UTF-16"": " & failure
Expect failure = "error &H8004019D ""TextEncoding must be ""ANSI"" or ""UTF-8"".""", "an unknown encoding was taken"
On Error GoTo 0

' Strict Encrypt returns a text unchanged only when this key decrypts it.
marked = crypter.Encrypt(texts)
Expect crypter.Encrypt(marked) = marked, "Strict encrypted a text of its own again"
ansi.SetKey "Tr0ub4dor&3"
marked = ansi.Encrypt("Meet me at noon.")
Expect crypter.Encrypt(marked) <> marked, "Strict kept a text that this key does not decrypt"
WScript.Echo "Strict Encrypt keeps its own marked text and encrypts a stranger's."

WScript.Echo "All steps succeeded."
