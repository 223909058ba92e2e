// The one error message box of the program: no owner window, the text, caption
// "Lumistamp", OK button and error icon.
#pragma once

void ShowErrorBox(const wchar_t* text);

// A failure the user must see: logged first, then shown in the error box.
void ReportFailure(const wchar_t* text);
