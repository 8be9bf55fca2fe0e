#pragma once
// Pair files a careless or hostile hand makes, shared by the tests of every
// way a file reaches a meter. Each names what its load reports and why a
// write refuses it.
#include <string>
#include <vector>

struct HostilePairFile {
    const char* name;
    std::string bytes;
    int loadResult;        // of LoadFromFile
    int pairsLoaded;
    const char* loadText;  // in the load's one message; "" when the load says nothing
    const char* refusal;   // in the message of a write that refuses it
    bool held;             // a meter can hold these pairs: restoring them writes them, with a warning
};

inline std::string SixtyPairs()
{
    std::string text;
    for (int i = 0; i < 60; ++i)
        text += std::to_string(i) + " " + std::to_string(i + 1) + " " + std::to_string(i + 1) + ".5\r\n";
    return text;
}

inline const std::vector<HostilePairFile>& HostilePairFiles()
{
    static const std::vector<HostilePairFile> files = {
        {"two numbers a line", "1.5 2.0\r\n2.5 3.0\r\n", 0, 0, "1 (полей 2 вместо 3), 2 (полей 2 вместо 3)",
         "1 (полей 2 вместо 3), 2 (полей 2 вместо 3)", false},
        {"all zero", " 0 0 0\n 1 0 0\n 2 0 0\n", 0, 3, "", "пара 1 (Gi 0.000000e+00, Ge 0.000000e+00): Gi равен 0", true},
        {"negative", " 0 -2 -2.1\n 1 -1 -1.1\n", 0, 2, "", "пар с Gi и Ge больше 0 0, а их должно быть не менее 2",
         true},
        {"sign of Ge", " 0 1 -1\n 1 2 2\n 2 3 3\n", 0, 3, "", "пара 1 (Gi 1.000000e+00, Ge -1.000000e+00): Gi и Ge разных знаков",
         true},
        {"one Gi two Ge", " 0 1 1\n 1 2 2\n 2 2 2.5\n", 0, 3, "", "пара 3 (Gi 2.000000e+00, Ge 2.500000e+00): Gi тот же, что в паре 2",
         true},
        {"empty mark", " 0 1 1\n 1 2 2\n 2 1e29 1e29\n", 0, 3, "", "пара 3 (Gi 1.000000e+29, Ge 1.000000e+29): Gi не меньше 1e+29",
         false},
        {"sixty pairs", SixtyPairs(), 0, 50, "10 пар сверх них не прочитаны", "10 пар сверх них не прочитаны", false},
        {"a number missing", " 0 1 1\n 1 2\n 2 3 3\n", 0, 2, "строки, не являющиеся парами: 2 (полей 2 вместо 3)",
         "строки, не являющиеся парами: 2 (полей 2 вместо 3)", false},
        {"hexadecimal", " 0 1 1\n 1 0x1p1 2\n 2 3 3\n", 0, 2, "2 (Gi «0x1p1» не является числом)",
         "2 (Gi «0x1p1» не является числом)", false},
        {"not a number", " 0 1 1\n 1 nan 2\n 2 3 3\n", 0, 2, "2 (Gi «nan» не является числом)",
         "2 (Gi «nan» не является числом)", false},
        {"one pair", " 0 1 1\n", 0, 1, "", "пар 1, а их должно быть не менее 2", false},
        {"Gi falling", " 0 1 1\n 1 3 3\n 2 2 2\n", -1, 2, "немонотонность Gi", "немонотонность Gi", false},
    };
    return files;
}
