#pragma once
// The operator's decimal separator: from the user's locale, settable for tests.
char DecimalSeparator();
void SetDecimalSeparator(char separator);
// Re-reads it from the user's locale (LC_ALL / LC_NUMERIC / LANG).
void ResetDecimalSeparatorFromLocale();
