#include "Json.h"

#include "common/NumberText.h"

#include <charconv>
#include <cmath>

CJson CJson::MakeObject()
{
    CJson j;
    j.m_kind = Object;
    return j;
}

CJson CJson::MakeArray()
{
    CJson j;
    j.m_kind = Array;
    return j;
}

CJson& CJson::Set(const std::string& key, CJson value)
{
    for (size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i] == key) {
            m_items[i] = std::move(value);
            return m_items[i];
        }
    m_keys.push_back(key);
    m_items.push_back(std::move(value));
    return m_items.back();
}

CJson& CJson::Push(CJson value)
{
    m_items.push_back(std::move(value));
    return m_items.back();
}

const CJson* CJson::Find(const std::string& key) const
{
    for (size_t i = 0; i < m_keys.size(); ++i)
        if (m_keys[i] == key)
            return &m_items[i];
    return nullptr;
}

std::string JsonQuote(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20)
                out += FormatC("\\u%04x", c);
            else
                out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

void CJson::DumpTo(std::string& out) const
{
    switch (m_kind) {
    case Null: out += "null"; break;
    case Bool: out += m_bool ? "true" : "false"; break;
    case Int: out += std::to_string(m_int); break;
    case Real:
        if (!std::isfinite(m_real))
            out += "null";
        else {
            // Shortest text that reads back as the same value.
            char buf[64];
            const auto r = m_single ? std::to_chars(buf, buf + sizeof buf, static_cast<float>(m_real))
                                    : std::to_chars(buf, buf + sizeof buf, m_real);
            out.append(buf, r.ptr);
        }
        break;
    case String: out += JsonQuote(m_text); break;
    case Array:
        out += '[';
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (i)
                out += ',';
            m_items[i].DumpTo(out);
        }
        out += ']';
        break;
    case Object:
        out += '{';
        for (size_t i = 0; i < m_items.size(); ++i) {
            if (i)
                out += ',';
            out += JsonQuote(m_keys[i]);
            out += ':';
            m_items[i].DumpTo(out);
        }
        out += '}';
        break;
    }
}

std::string CJson::Dump() const
{
    std::string out;
    DumpTo(out);
    return out;
}
