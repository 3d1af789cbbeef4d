' Saves a script makes through kelv.Application: a file another program
' changed after kelv read it is not overwritten (the save fails, naming the
' file, and the other program's change stays), and every save that replaces
' a file leaves a copy in the backup folder beside it. The script holds no
' Chinese text (cscript reads it in the system's ANSI code page, and Wine's
' ChrW stops at 255): the backups are counted in every folder beside the
' workbook, of which the backup folder is the only one.
'   cscript //nologo script_saves.vbs WORKBOOK.xlsx RESULT.txt
' Writes "ok ..." or "FAIL ..." lines and "done" to RESULT (UTF-16).
Option Explicit
Dim fso, result, folder, book, mine, theirs, reader, wb, n
Set fso = CreateObject("Scripting.FileSystemObject")
Set result = fso.CreateTextFile(WScript.Arguments(1), True, True)
folder = fso.BuildPath(fso.GetParentFolderName(WScript.Arguments(1)), "script-saves")
fso.CreateFolder folder
book = fso.BuildPath(folder, "roster.xlsx")
fso.CopyFile WScript.Arguments(0), book

Sub Check(ok, what)
    If ok Then
        result.WriteLine "ok " & what
    Else
        result.WriteLine "FAIL " & what
    End If
End Sub

Function BackupCount()
    Dim sub_folder
    BackupCount = 0
    For Each sub_folder In fso.GetFolder(folder).SubFolders
        BackupCount = BackupCount + sub_folder.Files.Count
    Next
End Function

' The script's own save: the replaced file is kept first.
Set mine = CreateObject("kelv.Application")
Set wb = mine.Workbooks.Open(book)
wb.Worksheets(1).Cells(1, 1).Value = "script, first"
wb.Save
Check BackupCount() = 1, "a save keeps the replaced file among the backups"
wb.Worksheets(1).Cells(1, 1).Value = "script, second"
wb.Save
Check BackupCount() = 2, "every save keeps one more copy"

' Another program writes the file while the script still has it open.
Set theirs = CreateObject("kelv.Application")
theirs.Workbooks.Open(book).Worksheets(1).Cells(1, 1).Value = "their fix"
theirs.Workbooks(1).Save
theirs.Quit
n = BackupCount()

wb.Worksheets(1).Cells(1, 1).Value = "script, third"
On Error Resume Next
wb.Save
Check Err.Number <> 0, "saving over another program's change fails"
Check InStr(Err.Description, "roster.xlsx") > 0, "the error names the file: " & Err.Description
Err.Clear
On Error GoTo 0
Check BackupCount() = n, "a refused save keeps no copy"

Set reader = CreateObject("kelv.Application")
Check reader.Workbooks.Open(book).Worksheets(1).Cells(1, 1).Value = "their fix", _
      "the other program's change stays"
reader.Quit

' Saving under another name is the way out.
wb.SaveAs fso.BuildPath(folder, "roster-script.xlsx")
Check fso.FileExists(fso.BuildPath(folder, "roster-script.xlsx")), "SaveAs writes the other name"
mine.Quit
result.WriteLine "done"
result.Close
