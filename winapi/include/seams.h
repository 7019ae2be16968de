// seams.h: where tests answer what a person would answer on a real desktop. Each seam is
// off (null) in the program; a test sets it and clears it again.
#pragma once

#include <windows.h>

// When set, MessageBoxA calls it instead of showing a box (text and caption in code
// page 932) and answers what it answers.
typedef int (*MESSAGE_BOX_ANSWER)(LPCSTR text, LPCSTR caption, UINT type);
void SetMessageBoxAnswer(MESSAGE_BOX_ANSWER answer);
