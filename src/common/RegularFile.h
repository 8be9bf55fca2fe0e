#pragma once
// Files the station reads must be regular files: a fifo, a folder or a device is
// refused at once (opened without blocking and looked at), never waited on.
#include <string>

constexpr long long kAnyFileSize = -1;

// A descriptor (read-only, blocking, close-on-exec) of the regular file at path, of at
// most maxBytes bytes; -1 otherwise, with why in words ("это не обычный файл (канал)").
// why stays empty when the file does not exist.
int OpenRegularFile(const std::string& path, std::string& why, long long maxBytes = kAnyFileSize);
// The whole content of such a file; false as above.
bool ReadRegularFile(const std::string& path, std::string& content, std::string& why,
                     long long maxBytes = kAnyFileSize);
