#pragma once
// The help text of vq7ctl: the options and every command of the table. CLI11's
// help flag shows it through CHelpFormatter instead of CLI11's own layout.
#include <CLI/CLI.hpp>

#include <string>

std::string HelpText();

class CHelpFormatter : public CLI::FormatterBase {
public:
    std::string make_help(const CLI::App*, std::string, CLI::AppFormatMode) const override { return HelpText(); }
};
