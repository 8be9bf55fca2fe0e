#pragma once
#include <cstdio>

// The help text: options and every command of the table.
void PrintHelp(std::FILE* out);
