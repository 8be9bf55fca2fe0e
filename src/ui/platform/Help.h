#pragma once
// "Помощь" → "Описание": the operator's guide DOC/help.html in the desktop's browser.
#include <QString>

// DOC/help.html beside the program, or in the share folder of an installed program.
QString HelpFilePath();
// Opens it with the desktop's default application; a failure is not reported.
void OpenHelp();
