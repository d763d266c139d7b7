' Files and bytes from VBScript: EncryptFile and DecryptFile stream a file of
' any size into a binary envelope and back; EncryptBytes and DecryptBytes take
' and give byte arrays.
' Run with: cscript //nologo encrypt-file.vbs [FILE]
' FILE (without it, a sample file in the temporary folder) is encrypted into
' FILE.zqv, which is decrypted into FILE.copy. The zarnocrypt tool reads and
' writes the same envelopes: zarnocrypt decrypt-bytes -k key.txt FILE.zqv
' with "correct horse" in key.txt.
Option Explicit

Dim fso, crypter, source, sealed, copy, stranger, failure, envelope, bytes

Sub Expect(condition, what)
    If Not condition Then
        WScript.Echo "FAILED: " & what
        WScript.Quit 1
    End If
End Sub

Function ReadAll(path)
    ReadAll = ""
    If fso.GetFile(path).Size > 0 Then ReadAll = fso.OpenTextFile(path).ReadAll()
End Function

Set fso = CreateObject("Scripting.FileSystemObject")
Set crypter = CreateObject("Zarnocrypt.Crypter")
crypter.SetKey "correct horse"
WScript.Echo "Zarnocrypt.Crypter " & crypter.GetVersionString() & ", cipher: " & crypter.CipherPath

If WScript.Arguments.Count > 0 Then
    source = WScript.Arguments(0)
Else
    source = fso.BuildPath(fso.GetSpecialFolder(2), "zarnocrypt-sample.txt")
    With fso.CreateTextFile(source, True)
        .Write "Quarterly figures: 1,204 units, 98.7% delivered on time."
        .Close
    End With
End If
sealed = source & ".zqv"
copy = source & ".copy"

' The destination is replaced only when all went well; it is never left half written.
crypter.EncryptFile source, sealed
WScript.Echo "EncryptFile " & source & " (" & fso.GetFile(source).Size & " bytes) -> " & _
    sealed & " (" & fso.GetFile(sealed).Size & " bytes)"
crypter.DecryptFile sealed, copy
WScript.Echo "DecryptFile " & sealed & " -> " & copy
Expect ReadAll(copy) = ReadAll(source), "the decrypted copy differs from the source"

' Another key: the decryption fails and no destination appears.
Set stranger = CreateObject("Zarnocrypt.Crypter")
stranger.SetKey "Tr0ub4dor&3"
On Error Resume Next
stranger.DecryptFile sealed, source & ".wrong"
failure = "error &H" & Hex(Err.Number) & " """ & Err.Description & """ from " & Err.Source
On Error GoTo 0
WScript.Echo "DecryptFile with another key: " & failure
Expect failure = "error &H80040198 ""Cannot decrypt data."" from Zarnocrypt.Crypter", "another key was not refused"
Expect Not fso.FileExists(source & ".wrong"), "a failed decryption left a file"

' Bytes in memory: a VBScript Array() of numbers 0 to 255, or a Byte() array as
' ADODB.Stream reads it from a file on Windows and as these methods return it.
' Encryption is deterministic: equal envelopes hold equal bytes. CStr turns a
' Byte() into a string of its bytes, which compares with another.
envelope = crypter.EncryptBytes(Array(72, 105, 33, 0, 255))
bytes = crypter.DecryptBytes(envelope)
WScript.Echo "EncryptBytes(Array(72, 105, 33, 0, 255)), then DecryptBytes: VarType " & VarType(bytes) & _
    " (vbArray + vbByte)"
Expect VarType(bytes) = vbArray + vbByte, "DecryptBytes gave no Byte() array"
Expect CStr(crypter.EncryptBytes(bytes)) = CStr(envelope), "the bytes did not come back"
WScript.Echo "EncryptBytes of that Byte() gives the same envelope."
Expect CStr(crypter.DecryptBytes(crypter.EncryptBytes(Array()))) = "", "an empty array did not come back empty"

WScript.Echo "All steps succeeded."
