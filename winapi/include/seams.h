// seams.h: where tests answer what a person would answer on a real desktop. Each seam is
// off (null) in the program; a test sets it and clears it again.
#pragma once

#include <commdlg.h>
#include <windows.h>

// When set, MessageBoxA calls it instead of showing a box (text and caption in code
// page 932) and answers what it answers.
typedef int (*MESSAGE_BOX_ANSWER)(LPCSTR text, LPCSTR caption, UINT type);
void SetMessageBoxAnswer(MESSAGE_BOX_ANSWER answer);

// When set, GetOpenFileNameA and GetSaveFileNameA call it instead of showing a dialog
// (save: TRUE for the save dialog). It answers what the person chose, as the dialog
// would: a host (UTF-8) path, or null for Cancel. The layer then fills the record from
// that path exactly as from the dialog's answer.
typedef const char* (*FILE_DIALOG_ANSWER)(const OPENFILENAMEA* record, BOOL save);
void SetFileDialogAnswer(FILE_DIALOG_ANSWER answer);
