#pragma once

#include <string>

class CExifEntry;

// Display texts of camera tag values through the colour library, for the
// picture information. Each operation answers true when it produced the text
// (which may be empty); false leaves the caller to show the plain value.
class CExifTextFormatter {
public:
    virtual ~CExifTextFormatter() = default;
    virtual bool FormatExifValueText(const CExifEntry& entry, std::string& text, const std::string& model);
    virtual bool FormatMakerValue(const CExifEntry& entry, std::string& text, const std::string& model);
};

bool FormatExifValueText(const CExifEntry& entry, std::string& text, const std::string& model);
bool FormatMakerValueText(const CExifEntry& entry, std::string& text, const std::string& model);
