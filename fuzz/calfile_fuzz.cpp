// The calibration file loader on arbitrary bytes: no crash, at most 50 pairs,
// Gi never decreasing, one message at most and of the right kind.
#include "calibration/CGiGeArray.h"
#include "support/RecordingOperator.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
// The input goes through a real file; in memory when /dev/shm is there.
std::string TempPath()
{
    for (const char* dir : {"/dev/shm", "/tmp"}) {
        std::string name = std::string(dir) + "/calfile_fuzz_XXXXXX";
        const int fd = mkstemp(name.data());
        if (fd >= 0) {
            close(fd);
            return name;
        }
    }
    std::abort();
}

struct TempFile {
    std::string path = TempPath();
    ~TempFile() { unlink(path.c_str()); }
};
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static CRecordingOperator op;
    static const TempFile file;
    const std::string& path = file.path;
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
    // A result of -1 comes with exactly one error; a load that succeeded with at
    // most one warning (pairs beyond the limit, lines that are not pairs).
    const auto messages = op.Messages();
    if (messages.size() > 1)
        std::abort();
    if (result == -1 && (messages.size() != 1 || messages[0].kind != RecordedMessage::Error))
        std::abort();
    if (result == 0 && !messages.empty() && messages[0].kind != RecordedMessage::Warning)
        std::abort();
    return 0;
}
