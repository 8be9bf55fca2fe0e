#include "PdfExport.h"

#include "ReportError.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {
bool Executable(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::string OnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path ? path : "/usr/bin:/bin");
    std::string dir;
    while (std::getline(dirs, dir, ':'))
        if (!dir.empty() && Executable(dir + "/" + name))
            return dir + "/" + name;
    return "";
}

// A private folder removed with everything in it when it goes.
class CTempFolder {
public:
    CTempFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "vq7-pdf-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw EReportError("не удалось создать временную папку для PDF в " + fs::temp_directory_path().string());
        m_path = pattern;
    }
    ~CTempFolder()
    {
        std::error_code ec;
        fs::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

std::string Tail(const std::string& file)
{
    std::ifstream in(file);
    std::stringstream s;
    s << in.rdbuf();
    std::string text = s.str();
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text.size() > 400 ? text.substr(text.size() - 400) : text;
}

// Runs argv in its own process group with stdout and stderr into log; the
// exit status, or -1 when the time limit passed (the group is then killed).
int RunLimited(const std::vector<std::string>& argv, const std::string& log, int seconds)
{
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid < 0)
        throw EReportError("не удалось запустить " + argv[0]);
    if (pid == 0) {
        ::setpgid(0, 0);
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in >= 0)
            ::dup2(in, 0);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execv(args[0], args.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);   // also here, so that the kill below reaches the group whoever runs first
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid)
            break;
        if (done < 0 && errno != EINTR)
            return 127;
        if (std::chrono::steady_clock::now() >= deadline) {
            ::kill(-pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}
}

std::string FindOffice()
{
    if (const char* forced = std::getenv("VQ7_SOFFICE"))
        return Executable(forced) ? std::string(forced) : std::string();
    for (const char* name : {"soffice", "libreoffice"})
        if (std::string path = OnPath(name); !path.empty())
            return path;
    return "";
}

std::string PdfPathOf(const std::string& docx)
{
    fs::path p(docx);
    p.replace_extension(".pdf");
    return p.string();
}

void ConvertDocxToPdf(const std::string& docx, const std::string& pdfPath, int timeLimitSeconds,
                      const std::string& office)
{
    const std::string program = office.empty() ? FindOffice() : office;
    if (program.empty() || !Executable(program))
        throw EReportError("PDF не сделан: LibreOffice (soffice) не найден; установите пакет libreoffice-writer "
                           "или укажите программу в VQ7_SOFFICE. DOCX сохранен: " + docx);
    if (!fs::exists(docx))
        throw EReportError("PDF не сделан: нет файла " + docx);
    CTempFolder temp;
    const std::string profile = temp.Path() + "/profile";
    const std::string out = temp.Path() + "/out";
    fs::create_directories(out);
    // The office program names its PDF after the DOCX; a plain copy keeps odd names out of its command line.
    const std::string source = temp.Path() + "/document.docx";
    std::error_code ec;
    fs::copy_file(docx, source, ec);
    if (ec)
        throw EReportError("PDF не сделан: не удалось прочитать " + docx);
    const std::string log = temp.Path() + "/soffice.log";
    const int rc = RunLimited({program, "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
                               "--nologo", "--convert-to", "pdf", "--outdir", out, source},
                              log, timeLimitSeconds);
    if (rc == -1)
        throw EReportError("PDF не сделан: LibreOffice не закончил за " + std::to_string(timeLimitSeconds) +
                           " с и остановлен. DOCX сохранен: " + docx);
    const std::string made = out + "/document.pdf";
    if (rc != 0 || !fs::exists(made) || fs::file_size(made, ec) == 0)
        throw EReportError("PDF не сделан: " + program + " завершился с кодом " + std::to_string(rc) +
                           (Tail(log).empty() ? std::string() : ": " + Tail(log)) + ". DOCX сохранен: " + docx);
    // Into the target's folder under a temporary name, then renamed over it.
    const std::string part = pdfPath + ".part";
    fs::copy_file(made, part, fs::copy_options::overwrite_existing, ec);
    if (!ec)
        fs::rename(part, pdfPath, ec);
    if (ec) {
        fs::remove(part, ec);
        throw EReportError("не удалось записать " + pdfPath);
    }
}
