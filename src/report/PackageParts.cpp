#include "PackageParts.h"

#include "WordXml.h"

#include <cstring>
#include <strings.h>

namespace {
constexpr const char* kRels = "_rels/.rels";
constexpr const char* kTypes = "[Content_Types].xml";

// Last path segment of a relationship type: strict and transitional types differ
// only in the part before it.
std::string TypeTail(const std::string& type)
{
    const auto slash = type.find("/relationships/");
    return slash == std::string::npos ? type : type.substr(slash);
}

std::string LocalName(const char* name)
{
    const char* colon = std::strchr(name, ':');
    return colon ? colon + 1 : name;
}
}

std::string PackageRelationshipTarget(const CZipPackage& package, const std::string& type)
{
    if (!package.Has(kRels))
        return "";
    auto rels = ParseXmlPart(package.Get(kRels), kRels);
    for (pugi::xml_node rel : rels->document_element().children()) {
        if (LocalName(rel.name()) != "Relationship" || TypeTail(rel.attribute("Type").value()) != TypeTail(type))
            continue;
        std::string target = rel.attribute("Target").value();
        while (!target.empty() && target[0] == '/')
            target.erase(0, 1);
        return target;
    }
    return "";
}

void SetPartContentType(CZipPackage& package, const std::string& partName, const std::string& contentType)
{
    auto types = ParseXmlPart(package.Get(kTypes), kTypes);
    pugi::xml_node root = types->document_element();
    const std::string slashName = "/" + partName;
    pugi::xml_node found;
    for (pugi::xml_node o : root.children())
        if (LocalName(o.name()) == "Override" && o.attribute("PartName").value() == slashName)
            found = o;
    if (!found) {
        found = root.append_child("Override");
        found.append_attribute("PartName") = slashName.c_str();
        found.append_attribute("ContentType");
    }
    found.attribute("ContentType").set_value(contentType.c_str());
    package.Set(kTypes, WriteXmlPart(*types));
}

std::string PartContentType(const CZipPackage& package, const std::string& partName)
{
    if (!package.Has(kTypes))
        return "";
    auto types = ParseXmlPart(package.Get(kTypes), kTypes);
    const std::string slashName = "/" + partName;
    const auto dot = partName.rfind('.');
    const std::string ext = dot == std::string::npos ? "" : partName.substr(dot + 1);
    std::string byDefault;
    for (pugi::xml_node o : types->document_element().children()) {
        if (LocalName(o.name()) == "Override" && o.attribute("PartName").value() == slashName)
            return o.attribute("ContentType").value();
        if (LocalName(o.name()) == "Default" && strcasecmp(o.attribute("Extension").value(), ext.c_str()) == 0)
            byDefault = o.attribute("ContentType").value();
    }
    return byDefault;
}

void AddPackagePart(CZipPackage& package, const std::string& partName, const std::string& relType,
                    const std::string& contentType)
{
    auto rels = ParseXmlPart(package.Get(kRels), kRels);
    pugi::xml_node root = rels->document_element();
    std::string id;
    for (int n = 1; id.empty(); ++n) {
        const std::string candidate = "rId" + std::to_string(n) + "vq7";
        bool taken = false;
        for (pugi::xml_node rel : root.children())
            taken = taken || candidate == rel.attribute("Id").value();
        if (!taken)
            id = candidate;
    }
    pugi::xml_node rel = root.append_child("Relationship");
    rel.append_attribute("Id") = id.c_str();
    rel.append_attribute("Type") = relType.c_str();
    rel.append_attribute("Target") = partName.c_str();
    package.Set(kRels, WriteXmlPart(*rels));
    SetPartContentType(package, partName, contentType);
}
