#pragma once
// The package relationships of a zip package: which part is the document and
// which holds its properties.
#include "ZipPackage.h"

#include <string>

constexpr const char* kRelOfficeDocument = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument";
constexpr const char* kRelCoreProperties =
    "http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties";

// Part name (without a leading '/') of the package relationship whose type ends
// like `type` (transitional or strict); "" when there is none.
std::string PackageRelationshipTarget(const CZipPackage& package, const std::string& type);
// Adds a package relationship and a content-type override for a new part.
void AddPackagePart(CZipPackage& package, const std::string& partName, const std::string& relType,
                    const std::string& contentType);
// Sets the content type of a part, overriding the default of its extension.
void SetPartContentType(CZipPackage& package, const std::string& partName, const std::string& contentType);
// The content type the package gives a part ("" when none).
std::string PartContentType(const CZipPackage& package, const std::string& partName);
