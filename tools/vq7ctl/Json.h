#pragma once
// A small JSON document: values built in memory, written as one text.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

class CJson {
public:
    enum Kind { Null, Bool, Int, Real, String, Array, Object };

    CJson() = default;
    static CJson MakeObject();
    static CJson MakeArray();
    CJson(bool v) : m_kind(Bool), m_bool(v) {}
    CJson(int v) : m_kind(Int), m_int(v) {}
    CJson(unsigned v) : m_kind(Int), m_int(v) {}
    CJson(long long v) : m_kind(Int), m_int(v) {}
    CJson(double v) : m_kind(Real), m_real(v) {}
    CJson(float v) : m_kind(Real), m_real(v), m_single(true) {}
    CJson(const char* v) : m_kind(String), m_text(v) {}
    CJson(std::string v) : m_kind(String), m_text(std::move(v)) {}

    Kind GetKind() const { return m_kind; }
    // Object: sets (or replaces) a member, keeping the order of first setting.
    CJson& Set(const std::string& key, CJson value);
    // Array: appends.
    CJson& Push(CJson value);
    // Member of an object (null when missing).
    const CJson* Find(const std::string& key) const;

    // Compact text; strings must be UTF-8. Non-finite numbers become null.
    std::string Dump() const;

private:
    void DumpTo(std::string& out) const;

    Kind m_kind = Null;
    bool m_bool = false;
    long long m_int = 0;
    double m_real = 0;
    bool m_single = false;   // written as a 32-bit float
    std::string m_text;
    std::vector<CJson> m_items;
    std::vector<std::string> m_keys;
};

// The text with JSON escapes, in quotes.
std::string JsonQuote(const std::string& text);
