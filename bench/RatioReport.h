#pragma once
// A benchmark main that prints, after Google Benchmark's table, each benchmark
// as a ratio: to another benchmark (the raw path beside the full one), or to
// its ideal time when it sets the counter "ideal_us" (wire time per iteration).
#include <string>

// numerator / denominator of the median real times; names are the function
// name with its arguments, e.g. "BM_Identify/9600".
void AddRatio(const std::string& label, const std::string& numerator, const std::string& denominator);

// A benchmark that also sets the counter "wait_us" (a wait it needs that is
// not the wire, per iteration) gets a second wire-time line with the wait
// taken out; text says what the wait is and why it stays.
void DescribeWait(const std::string& function, const std::string& text);

int RunWithRatios(int argc, char** argv);
