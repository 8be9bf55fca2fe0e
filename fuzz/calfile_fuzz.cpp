// The calibration file loader on arbitrary bytes: no crash, at most 50 pairs,
// Gi never decreasing.
#include "calibration/CGiGeArray.h"
#include "common/RecordingOperator.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
std::string TempPath()
{
    char name[] = "/tmp/calfile_fuzz_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
        std::abort();
    close(fd);
    return name;
}
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CRecordingOperator op;
    static const std::string path = TempPath();
    op.Clear();

    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        std::abort();
    if (size && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);

    CGiGeArray table;
    const int result = table.LoadFromFile(path);
    if (result != 0 && result != -1)
        std::abort();
    if (table.GetCount() > GIGE_FILE_MAX_PAIRS)
        std::abort();
    for (int i = 1; i < table.GetCount(); ++i)
        if (!(table.PairAt(i - 1).Gi <= table.PairAt(i).Gi))
            std::abort();
    // A result of -1 comes with exactly one message.
    if ((result == -1) != (op.Messages().size() == 1))
        std::abort();
    return 0;
}
