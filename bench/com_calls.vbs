' Late-bound calls per second from VBScript: Encrypt("abc") against
' GetVersionString, the cheapest method, as the medians of 5 timed loops.
' Prints "calls/s ...", then "ratio encrypt-abc-vs-getversionstring ...".
Option Explicit

Const CALLS = 20000
Const REPETITIONS = 5

Dim crypter
Set crypter = CreateObject("Zarnocrypt.Crypter")
crypter.SetKey "benchmark key text"

Function Median(values)
    Dim i, j, t
    For i = 0 To UBound(values) - 1
        For j = i + 1 To UBound(values)
            If values(j) < values(i) Then
                t = values(i): values(i) = values(j): values(j) = t
            End If
        Next
    Next
    Median = values(UBound(values) \ 2)
End Function

Function CallRate(encrypt)
    Dim rates(4), r, i, start, elapsed, result  ' REPETITIONS values (Wine's ReDim is unreliable)
    For r = 0 To REPETITIONS - 1
        start = Timer
        If encrypt Then
            For i = 1 To CALLS
                result = crypter.Encrypt("abc")
            Next
        Else
            For i = 1 To CALLS
                result = crypter.GetVersionString()
            Next
        End If
        elapsed = Timer - start
        If elapsed <= 0 Then elapsed = 0.001
        rates(r) = CALLS / elapsed
    Next
    CallRate = Median(rates)
End Function

Dim encryptRate, versionRate
encryptRate = CallRate(True)
versionRate = CallRate(False)
WScript.Echo "calls/s late-bound Encrypt(""abc""): " & Round(encryptRate)
WScript.Echo "calls/s late-bound GetVersionString: " & Round(versionRate)
WScript.Echo "ratio encrypt-abc-vs-getversionstring " & FormatNumber(encryptRate / versionRate, 2, True, False, False)
