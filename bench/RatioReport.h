#pragma once
// A benchmark main that prints, after Google Benchmark's table, each benchmark
// as a ratio: to another benchmark (the raw path beside the full one), or to
// its ideal time when it sets the counter "ideal_us" (wire time per iteration).
#include <string>

// numerator / denominator of the median real times; names are the function
// name with its arguments, e.g. "BM_Identify/9600".
void AddRatio(const std::string& label, const std::string& numerator, const std::string& denominator);

int RunWithRatios(int argc, char** argv);
