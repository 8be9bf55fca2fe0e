#include "ZipPackage.h"

#include "AtomicFile.h"

#include "ReportError.h"

#include <zip.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Packages larger than this are not office documents; refusing them keeps a
// crafted archive from filling the memory.
constexpr zip_uint64_t kMaxEntryBytes = 64ull << 20;
constexpr zip_uint64_t kMaxTotalBytes = 256ull << 20;

std::string ZipErrorText(int code)
{
    zip_error_t error;
    zip_error_init_with_code(&error, code);
    std::string text = zip_error_strerror(&error);
    zip_error_fini(&error);
    return text;
}

// Why an entry must not be copied: "" when its name stays inside the package
// and it is no link. Backslashes count as separators, as unpackers on the
// office suite's home system take them.
std::string UnsafeEntry(zip_t* za, zip_uint64_t index, const std::string& name)
{
    if (name.empty())
        return "пустое имя";
    if (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':'))
        return "абсолютный путь";
    size_t start = 0;
    for (;;) {
        const size_t end = name.find_first_of("/\\", start);
        if (name.compare(start, end == std::string::npos ? std::string::npos : end - start, "..") == 0)
            return "имя с \"..\"";
        if (end == std::string::npos)
            break;
        start = end + 1;
    }
    zip_uint8_t system = 0;
    zip_uint32_t attributes = 0;
    if (zip_file_get_external_attributes(za, index, 0, &system, &attributes) == 0 && system == ZIP_OPSYS_UNIX &&
        S_ISLNK(attributes >> 16))
        return "символическая ссылка";
    return "";
}

struct ArchiveCloser {
    void operator()(zip_t* za) const { zip_discard(za); }
};
using ArchivePtr = std::unique_ptr<zip_t, ArchiveCloser>;
}

CZipPackage CZipPackage::Load(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec))
        throw EReportError("файл не найден: " + path);
    int code = 0;
    ArchivePtr za(zip_open(path.c_str(), ZIP_RDONLY, &code));
    if (!za)
        throw EReportError("файл поврежден или не является документом DOCX: " + path + " (" + ZipErrorText(code) +
                           ")");
    CZipPackage package;
    const zip_int64_t count = zip_get_num_entries(za.get(), 0);
    zip_uint64_t total = 0;
    for (zip_int64_t i = 0; i < count; ++i) {
        zip_stat_t st;
        zip_stat_init(&st);
        if (zip_stat_index(za.get(), i, 0, &st) != 0 || !(st.valid & ZIP_STAT_NAME) || !(st.valid & ZIP_STAT_SIZE))
            throw EReportError("файл поврежден: " + path + " (" + zip_strerror(za.get()) + ")");
        const std::string name = st.name;
        if (const std::string why = UnsafeEntry(za.get(), static_cast<zip_uint64_t>(i), name); !why.empty()) {
            package.m_leftOut.push_back("«" + name + "» (" + why + ")");
            continue;
        }
        if (name.back() == '/')
            continue;   // folder entry
        total += st.size;
        if (st.size > kMaxEntryBytes || total > kMaxTotalBytes)
            throw EReportError("файл слишком велик для документа: " + path);
        std::string bytes(static_cast<size_t>(st.size), '\0');
        zip_file_t* file = zip_fopen_index(za.get(), i, 0);
        if (!file)
            throw EReportError("файл поврежден: " + path + " (" + name + ": " + zip_strerror(za.get()) + ")");
        const zip_int64_t got = bytes.empty() ? 0 : zip_fread(file, bytes.data(), bytes.size());
        std::string error = got < 0 ? zip_file_strerror(file) : "";
        zip_fclose(file);
        if (got < 0 || static_cast<zip_uint64_t>(got) != st.size)
            throw EReportError("файл поврежден: " + path + " (" + name + (error.empty() ? "" : ": " + error) + ")");
        package.m_entries.emplace_back(name, std::move(bytes));
    }
    return package;
}

bool CZipPackage::Has(const std::string& name) const
{
    for (const auto& e : m_entries)
        if (e.first == name)
            return true;
    return false;
}

const std::string& CZipPackage::Get(const std::string& name) const
{
    for (const auto& e : m_entries)
        if (e.first == name)
            return e.second;
    throw EReportError("в документе нет части " + name);
}

void CZipPackage::Set(const std::string& name, std::string bytes)
{
    for (auto& e : m_entries)
        if (e.first == name) {
            e.second = std::move(bytes);
            return;
        }
    m_entries.emplace_back(name, std::move(bytes));
}

std::vector<std::string> CZipPackage::Names() const
{
    std::vector<std::string> names;
    for (const auto& e : m_entries)
        names.push_back(e.first);
    return names;
}

void CZipPackage::Save(const std::string& path) const
{
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::string temp;
    close(CreateTempBeside(path, temp));   // libzip keeps the mode of the file it replaces
    auto fail = [&](const std::string& why) {
        std::error_code ec;
        fs::remove(temp, ec);
        throw EReportError("не удалось записать " + path + ": " + why);
    };
    int code = 0;
    zip_t* za = zip_open(temp.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &code);
    if (!za)
        fail(ZipErrorText(code));
    for (const auto& e : m_entries) {
        zip_source_t* src = zip_source_buffer(za, e.second.data(), e.second.size(), 0);
        if (!src || zip_file_add(za, e.first.c_str(), src, ZIP_FL_ENC_UTF_8 | ZIP_FL_OVERWRITE) < 0) {
            const std::string why = zip_strerror(za);
            if (src)
                zip_source_free(src);
            zip_discard(za);
            fail(why);
        }
    }
    if (zip_close(za) != 0) {
        const std::string why = zip_strerror(za);
        zip_discard(za);
        fail(why);
    }
    std::error_code ec;
    fs::rename(temp, target, ec);
    if (ec)
        fail(ec.message());
}
