' Zarnocrypt.Crypter from VBScript: late binding through IDispatch, as
' classic ASP and WSH scripts use it. Run by `cscript //nologo` against the
' registered DLL; the last line is the summary and the exit code is the
' number of failed checks.
Option Explicit
On Error Resume Next  ' every call is checked right after it, failures included

Const E_CRYPTER_CODE_DAMAGED = &H80040065
Const E_CRYPTER_KEY_NOT_SET = &H80040197
Const E_CRYPTER_DECRYPT_FAILED = &H80040198
Const VT_ARRAY_NULL = 8193

Dim passed, failed
passed = 0
failed = 0

' The arguments are evaluated before the call, so Err is still the one that
' the checked call left behind.
Sub Check(name, condition, errNumber)
    If errNumber = 0 And condition Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAIL: " & name & " (error " & Hex(errNumber) & ")"
    End If
End Sub

Sub CheckError(name, errNumber, errDescription, errSource, number, description)
    If errNumber = number And errDescription = description And errSource = "Zarnocrypt.Crypter" Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAIL: " & name & ": got " & Hex(errNumber) & " """ & errDescription & """ from """ & _
            errSource & """"
    End If
End Sub

Function NewCrypter(key)
    Set NewCrypter = CreateObject("Zarnocrypt.Crypter")
    If key <> "" Then NewCrypter.SetKey key
End Function

Dim plain, other, result, marked, back, i, long
Set plain = NewCrypter("")
Check "CreateObject", IsObject(plain), Err.Number

Err.Clear
result = plain.GetVersionString()
Check "GetVersionString", result = "v2.1", Err.Number
result = plain.getversionstring
Check "getversionstring", result = "v2.1", Err.Number

' Without a key: unmarked text passes Decrypt; everything else fails.
Err.Clear
result = plain.Decrypt("abc")
Check "Decrypt of unmarked text without a key", result = "abc", Err.Number
Err.Clear
result = plain.Encrypt("abc")
CheckError "Encrypt without a key", Err.Number, Err.Description, Err.Source, E_CRYPTER_KEY_NOT_SET, _
    "Key has not been set."
Err.Clear
result = plain.HtmlEncrypt("abc")
CheckError "HtmlEncrypt without a key", Err.Number, Err.Description, Err.Source, E_CRYPTER_KEY_NOT_SET, _
    "Key has not been set."
Err.Clear
result = plain.multilineencrypt("abc")
CheckError "multilineencrypt without a key", Err.Number, Err.Description, Err.Source, E_CRYPTER_KEY_NOT_SET, _
    "Key has not been set."
Err.Clear
result = plain.EncryptEx("abc")
CheckError "EncryptEx without a key", Err.Number, Err.Description, Err.Source, E_CRYPTER_KEY_NOT_SET, _
    "Key has not been set."
Err.Clear
result = plain.DecryptEx(Array(1, 2))
CheckError "DecryptEx without a key", Err.Number, Err.Description, Err.Source, E_CRYPTER_KEY_NOT_SET, _
    "Key has not been set."

' Round trips of the three forms between two objects with the same key text.
Set plain = NewCrypter("correct horse")
Set other = NewCrypter("correct horse")
long = ""
For i = 1 To 12
    long = long & "line " & i & " of a text long enough for several lines. "
Next
For Each result In Array("abc", "", "caf" & Chr(233) & " au lait", long)
    Err.Clear
    marked = plain.Encrypt(result)
    Check "Encrypt """ & Left(result, 20) & """ is marked", Left(marked, 6) = "[ZQV]X" And Right(marked, 6) = "[/ZQV]", Err.Number
    back = other.Decrypt(marked)
    Check "Decrypt of Encrypt """ & Left(result, 20) & """", back = result, Err.Number

    marked = plain.HtmlEncrypt(result)
    Check "HtmlEncrypt """ & Left(result, 20) & """ has a comment", InStr(marked, "<!--") > 0, Err.Number
    back = other.decrypt(marked)
    Check "Decrypt of HtmlEncrypt """ & Left(result, 20) & """", back = result, Err.Number

    marked = plain.MultilineEncrypt(result)
    Check "MultilineEncrypt """ & Left(result, 20) & """", Left(marked, 6) = "[ZQV]X", Err.Number
    back = other.Decrypt(marked)
    Check "Decrypt of MultilineEncrypt """ & Left(result, 20) & """", back = result, Err.Number
Next
Err.Clear
marked = plain.MultilineEncrypt(long)
Check "MultilineEncrypt breaks long text into lines", UBound(Split(marked, vbLf)) > 3, Err.Number

' Lower-case names, a number converted to text, an already marked text.
Err.Clear
plain.setkey "lower case"
marked = plain.encrypt(12345)
back = plain.decrypt(marked)
Check "lower-case names and a number argument", back = "12345", Err.Number
result = plain.encrypt(marked)
Check "Encrypt of a marked text returns it unchanged", result = marked, Err.Number

' Failures of Decrypt.
Err.Clear
result = other.Decrypt(marked)
CheckError "Decrypt with another key", Err.Number, Err.Description, Err.Source, E_CRYPTER_DECRYPT_FAILED, _
    "Cannot decrypt data."
Err.Clear
result = NewCrypter("").Decrypt(marked)
CheckError "Decrypt without a key", Err.Number, Err.Description, Err.Source, E_CRYPTER_KEY_NOT_SET, "Key not set."
Err.Clear
result = other.Decrypt("[ZQV]Y" & vbLf & "AAAAAAAAAAAA[/ZQV]")
CheckError "Decrypt of a damaged text", Err.Number, Err.Description, Err.Source, E_CRYPTER_CODE_DAMAGED, _
    "Encryption code damaged or type wrong"
Err.Clear
back = other.Decrypt("[ZQV]X" & vbLf & "AAAA[/ZQV] and more")
Check "text after the end marker is unmarked", back = "[ZQV]X" & vbLf & "AAAA[/ZQV] and more", Err.Number

' Script arrays hold variants, not signed bytes, and strings are no arrays:
' both are "no bytes", answered with an empty VT_ARRAY|VT_NULL (VarType 8193).
' Wine's ITypeInfo::Invoke refuses to pass that type on (DISP_E_BADVARTYPE),
' which VBScript reports as its error 458; a failure of the component would
' carry one of its own codes and its source.
Const VBS_UNSUPPORTED_TYPE = 458
Sub CheckNoBytes(name, errNumber, errSource, vt)
    If (errNumber = 0 And vt = VT_ARRAY_NULL) Or _
       (errNumber = VBS_UNSUPPORTED_TYPE And errSource <> "Zarnocrypt.Crypter") Then
        passed = passed + 1
    Else
        failed = failed + 1
        WScript.Echo "FAIL: " & name & ": error " & Hex(errNumber) & " from """ & errSource & """, VarType " & vt
    End If
End Sub
Err.Clear
i = -1
i = VarType(plain.EncryptEx(Array(1, 2, 3)))
CheckNoBytes "EncryptEx of a script array", Err.Number, Err.Source, i
Err.Clear
i = -1
i = VarType(plain.encryptex("text"))
CheckNoBytes "EncryptEx of a string", Err.Number, Err.Source, i
Err.Clear
i = -1
i = VarType(plain.DecryptEx(Array()))
CheckNoBytes "DecryptEx of an empty array", Err.Number, Err.Source, i

' An empty key text takes the key away again.
Err.Clear
plain.SetKey ""
result = plain.Encrypt("abc")
CheckError "Encrypt after SetKey """"", Err.Number, Err.Description, Err.Source, E_CRYPTER_KEY_NOT_SET, _
    "Key has not been set."

WScript.Echo passed & " passed, " & failed & " failed"
WScript.Quit failed
