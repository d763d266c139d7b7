' One side of the side-by-side test: run by the 32-bit and by the 64-bit
' script host against the same prefix, where each finds the DLL that its
' registry view names.
'   cross_host.vbs report       the InprocServer32 path of this host's view
'                               and the version, or "error <number>"
'   cross_host.vbs encrypt DIR  the text in every marked form, one file each
'   cross_host.vbs decrypt DIR  decrypts those files; "N passed, 0 failed"
Option Explicit

Const CLASS_KEY = "HKCR\CLSID\{5586F59A-BE1C-4C5D-8F1B-8641BF4688F5}\InprocServer32\"
Const KEY_TEXT = "side by side"
Dim forms, plain, files
forms = Array("Encrypt", "HtmlEncrypt", "MultilineEncrypt")
' Beyond ASCII (code page 1252) and longer than one block.
plain = "Gr" & Chr(252) & Chr(223) & "e from one host to the other, whatever its word size."
Set files = CreateObject("Scripting.FileSystemObject")

Function NewCrypter()
    Set NewCrypter = CreateObject("Zarnocrypt.Crypter")
    NewCrypter.SetKey KEY_TEXT
End Function

Function Marked(crypter, form)
    Select Case form
        Case "Encrypt": Marked = crypter.Encrypt(plain)
        Case "HtmlEncrypt": Marked = crypter.HtmlEncrypt(plain)
        Case "MultilineEncrypt": Marked = crypter.MultilineEncrypt(plain)
    End Select
End Function

Dim crypter, form, stream, text, passed, failed
Select Case WScript.Arguments(0)
    Case "report"
        On Error Resume Next
        Set crypter = CreateObject("Zarnocrypt.Crypter")
        If Err.Number <> 0 Then
            WScript.Echo "error " & Hex(Err.Number)
        Else
            WScript.Echo "module=" & CreateObject("WScript.Shell").RegRead(CLASS_KEY) & _
                " version=" & crypter.GetVersionString()
        End If
    Case "encrypt"
        Set crypter = NewCrypter()
        For Each form In forms
            Set stream = files.CreateTextFile(WScript.Arguments(1) & "\" & form & ".txt", True)
            stream.Write Marked(crypter, form)
            stream.Close
        Next
        WScript.Echo "encrypted"
    Case "decrypt"
        Set crypter = NewCrypter()
        passed = 0
        failed = 0
        For Each form In forms
            Set stream = files.OpenTextFile(WScript.Arguments(1) & "\" & form & ".txt")
            text = stream.ReadAll()
            stream.Close
            If crypter.Decrypt(text) = plain Then
                passed = passed + 1
            Else
                failed = failed + 1
                WScript.Echo "FAIL: " & form
            End If
        Next
        WScript.Echo passed & " passed, " & failed & " failed"
        WScript.Quit failed
End Select
