#include "StoreLocation.h"

#include <cctype>
#include <map>
#include <vector>

namespace {
bool StartsWith(const std::string& s, const char* prefix)
{
    return s.rfind(prefix, 0) == 0;
}

bool PercentDecode(const std::string& in, std::string& out)
{
    out.clear();
    for (size_t i = 0; i < in.size(); ++i) {
        if (in[i] != '%') {
            out += in[i];
            continue;
        }
        if (i + 2 >= in.size() || !std::isxdigit(static_cast<unsigned char>(in[i + 1])) ||
            !std::isxdigit(static_cast<unsigned char>(in[i + 2])))
            return false;
        out += static_cast<char>(std::stoi(in.substr(i + 1, 2), nullptr, 16));
        i += 2;
    }
    return true;
}

// A libpq keyword value, quoted.
std::string Quoted(const std::string& value)
{
    std::string q = "'";
    for (char c : value) {
        if (c == '\'' || c == '\\')
            q += '\\';
        q += c;
    }
    return q + "'";
}

const std::vector<std::string> kKeywords = {"host", "port", "dbname", "user", "sslmode", "connect_timeout",
                                            "application_name"};
}

std::string MaskStoreLocation(const std::string& text)
{
    std::string s = text;
    const auto scheme = s.find("://");
    if (scheme != std::string::npos) {
        const auto authorityEnd = s.find_first_of("/?", scheme + 3);
        const auto at = s.rfind('@', authorityEnd == std::string::npos ? std::string::npos : authorityEnd);
        if (at != std::string::npos && at > scheme) {
            const auto colon = s.find(':', scheme + 3);
            if (colon != std::string::npos && colon < at)
                s.replace(colon + 1, at - colon - 1, "***");
        }
    }
    for (size_t pos = 0; (pos = s.find("password=", pos)) != std::string::npos;) {
        pos += 9;
        const auto end = s.find_first_of("& ", pos);
        s.replace(pos, (end == std::string::npos ? s.size() : end) - pos, "***");
    }
    return s;
}

bool ParseStoreLocation(const std::string& text, StoreLocation& out, std::string& error)
{
    out = StoreLocation{};
    out.shown = MaskStoreLocation(text);
    if (text.empty()) {
        error = "no results store given";
        return false;
    }
    if (!StartsWith(text, "postgresql://") && !StartsWith(text, "postgres://")) {
        out.engine = StoreLocation::Engine::SQLite;
        out.path = StartsWith(text, "sqlite:") ? text.substr(7) : text;
        if (StartsWith(out.path, "//"))
            out.path = out.path.substr(2);
        if (out.path.empty()) {
            error = "no SQLite file in " + out.shown;
            return false;
        }
        out.shown = out.path;
        return true;
    }
    out.engine = StoreLocation::Engine::PostgreSQL;
    std::string rest = text.substr(text.find("://") + 3);
    std::map<std::string, std::string> kv;
    std::string query;
    if (const auto q = rest.find('?'); q != std::string::npos) {
        query = rest.substr(q + 1);
        rest.resize(q);
    }
    std::string authority = rest, db;
    if (const auto slash = rest.find('/'); slash != std::string::npos) {
        authority = rest.substr(0, slash);
        db = rest.substr(slash + 1);
    }
    if (const auto at = authority.rfind('@'); at != std::string::npos) {
        const std::string userinfo = authority.substr(0, at);
        authority = authority.substr(at + 1);
        if (userinfo.find(':') != std::string::npos) {
            error = "a password in the address of the results store is not taken (" + out.shown +
                    "); keep it in ~/.pgpass or PGPASSWORD";
            return false;
        }
        if (!PercentDecode(userinfo, kv["user"])) {
            error = "bad user name in " + out.shown;
            return false;
        }
    }
    std::string host = authority;
    if (!host.empty() && host[0] != '[') {
        if (const auto colon = host.rfind(':'); colon != std::string::npos) {
            kv["port"] = host.substr(colon + 1);
            host.resize(colon);
        }
    }
    if (!host.empty() && !PercentDecode(host, kv["host"])) {
        error = "bad host in " + out.shown;
        return false;
    }
    if (!db.empty() && !PercentDecode(db, kv["dbname"])) {
        error = "bad database name in " + out.shown;
        return false;
    }
    size_t start = 0;
    while (start < query.size()) {
        const auto amp = query.find('&', start);
        const std::string item = query.substr(start, amp == std::string::npos ? std::string::npos : amp - start);
        start = amp == std::string::npos ? query.size() : amp + 1;
        if (item.empty())
            continue;
        const auto eq = item.find('=');
        const std::string key = item.substr(0, eq);
        std::string value;
        if (eq == std::string::npos || !PercentDecode(item.substr(eq + 1), value)) {
            error = "bad parameter '" + MaskStoreLocation(item) + "' in " + out.shown;
            return false;
        }
        if (key == "password") {
            error = "a password in the address of the results store is not taken (" + out.shown +
                    "); keep it in ~/.pgpass or PGPASSWORD";
            return false;
        }
        bool known = false;
        for (const std::string& k : kKeywords)
            known = known || k == key;
        if (!known) {
            error = "unknown parameter '" + key + "' in " + out.shown;
            return false;
        }
        kv[key] = value;
    }
    if (kv["dbname"].empty()) {
        error = "no database name in " + out.shown;
        return false;
    }
    if (kv["sslmode"].empty())
        kv["sslmode"] = "prefer";
    if (kv["connect_timeout"].empty())
        kv["connect_timeout"] = "3";
    for (const std::string& k : kKeywords) {
        const auto it = kv.find(k);
        if (it != kv.end() && !it->second.empty())
            out.conninfo += (out.conninfo.empty() ? "" : " ") + k + "=" + Quoted(it->second);
    }
    return true;
}
