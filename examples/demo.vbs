' Zarnocrypt from VBScript, the way WSH and classic ASP scripts use it.
' Run with: cscript //nologo demo.vbs [file]
' With a file name, the Encrypt result is also written there, for the
' zarnocrypt command-line tool to decrypt with the same key text.
Option Explicit

Dim crypter, text, marked, form, stranger

Set crypter = CreateObject("Zarnocrypt.Crypter")
WScript.Echo "Zarnocrypt.Crypter " & crypter.GetVersionString()

crypter.SetKey "correct horse"
text = "Meet me at the old mill at noon, and bring the map of the river crossing with you."
WScript.Echo "Key text: correct horse"
WScript.Echo "Plain text: " & text

For Each form In Array("Encrypt", "HtmlEncrypt", "MultilineEncrypt")
    Select Case form
        Case "Encrypt": marked = crypter.Encrypt(text)
        Case "HtmlEncrypt": marked = crypter.HtmlEncrypt(text)
        Case "MultilineEncrypt": marked = crypter.MultilineEncrypt(text)
    End Select
    WScript.Echo ""
    WScript.Echo form & ":"
    WScript.Echo marked
    WScript.Echo "Decrypt: " & crypter.Decrypt(marked)
Next

If WScript.Arguments.Count > 0 Then
    marked = crypter.Encrypt(text)
    With CreateObject("Scripting.FileSystemObject").CreateTextFile(WScript.Arguments(0), True)
        .Write marked
        .Close
    End With
End If

' Failures arrive as script errors with the component's number and message.
Set stranger = CreateObject("Zarnocrypt.Crypter")
stranger.SetKey "Tr0ub4dor&3"
On Error Resume Next
text = stranger.Decrypt(marked)
WScript.Echo ""
WScript.Echo "Decrypt with another key: error &H" & Hex(Err.Number) & " (" & Err.Number & ") """ & _
    Err.Description & """ from " & Err.Source
Err.Clear
text = CreateObject("Zarnocrypt.Crypter").Encrypt("abc")
WScript.Echo "Encrypt without a key:    error &H" & Hex(Err.Number) & " (" & Err.Number & ") """ & _
    Err.Description & """ from " & Err.Source
