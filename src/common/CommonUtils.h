#pragma once
// Small shared helpers: program folder, message box, decimal separator
// rewriting, token extraction, alarm.
#include <cstdint>
#include <string>

// Folder of the running program without the final '/' ("/" at the root).
std::string GetProgramDir();
// The same folder, always with a final '/'.
std::string GetProgramPath();
// Folder part of an absolute program path, as GetProgramDir makes it.
std::string ProgramDirOf(const std::string& programFile);

// The name a program gives itself where its messages leave it as text
// ("vq7ctl: ..."); the running program file's name unless set.
void SetProgramName(const std::string& name);
std::string ProgramName();

// Application title; ShowAppMessage captions with it up to the first " - ".
void SetApplicationTitle(const std::string& title);
std::string ApplicationTitle();
std::string AppMessageCaption();
// The program's modal message box (OK button, no icon).
void ShowAppMessage(const std::string& text);
// A notice that needs no answer, with the same caption (IOperator::Notice).
void ShowNotice(const std::string& text);

// Rewrites a number text to the operator's decimal separator.
std::string FixDecimalSeparator(const std::string& text);
// Empty gives "0"; the first comma becomes a point.
std::string CommaToPoint(const std::string& text);
// Empty gives "0"; every point becomes a comma.
std::string PointsToComma(const std::string& text);

// Three 523 Hz tones of 1 s with 100 ms pauses.
void AlarmBeep();

// The first word of text from the 1-based position `from`.
std::string ExtractToken(const std::string& text, uint16_t from);

// Leading and trailing blanks and control characters removed.
std::string TrimBlanksAndControls(const std::string& text);
